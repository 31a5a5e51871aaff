#pragma once

// The window's fixed layout, as data. Positions and sizes are in twips
// (15 to a pixel at 96 dpi); page controls are placed relative to the tab
// control's outer top-left corner, tab strip included.

#include <QRect>

#include <array>
#include <span>

namespace zelqon::layout {

inline constexpr int kTwipsPerPixel = 15;

[[nodiscard]] constexpr int pixels(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

struct Twips {
  int left, top, width, height;
  [[nodiscard]] QRect toPixels() const { return {pixels(left), pixels(top), pixels(width), pixels(height)}; }
};

struct TwipLine {
  int x1, y1, x2, y2;
};

inline constexpr int kClientWidth = 10455;
inline constexpr int kClientHeight = 5385;
inline constexpr int kTabStripHeight = 520;
inline constexpr int kIconSize = 64;  // pixels

enum class Kind {
  PictureBox,
  Label,
  OpaqueLabel,  // draws its own background: lblLabel
  PortList,     // editable combo box
  DelayList,    // pick-only combo box
  TabControl,
  Button,
  CaptionBox,  // single-line text box used as a caption
  Monitor,
};

// The layout's fonts; each maps to a family list with local fallbacks.
enum class Face {
  Default,      // "MS Sans Serif" 8.25 pt
  Title,        // "Arial" 18 pt bold italic
  TahomaLabel,  // "Tahoma" 9.75 pt
  TahomaList,   // "Tahoma" 8.25 pt
};

// What a click on one of the window's own buttons runs.
enum class Action { None, SendAll, Factory, Atualizar, ClearMonitor, Exit };

struct WindowControl {
  const char* name{};
  Kind kind{};
  const char* caption{};  // UTF-8
  Twips rect{};
  Face face{};
  bool enabled{};
  Action action = Action::None;
};

// Controls of the window itself, top to bottom.
inline constexpr std::array kWindowControls = {
    WindowControl{"Picture1", Kind::PictureBox, "", {720, 120, 1095, 1095}, Face::Default, true},
    WindowControl{"Label1", Kind::Label, "PROGRAMADOR ZELQON", {1800, 120, 4935, 375}, Face::Title, true},
    WindowControl{"Label2",
                  Kind::Label,
                  "Controle de programação de controladora para até 4 rádios",
                  {1800, 600, 4935, 255},
                  Face::Default,
                  true},
    WindowControl{"lblLabel", Kind::OpaqueLabel, "Porta COM:", {8280, 120, 1095, 255}, Face::TahomaLabel, true},
    WindowControl{"cboComm", Kind::PortList, "", {9360, 120, 735, 315}, Face::TahomaList, true},
    WindowControl{"SSTab1", Kind::TabControl, "", {360, 1320, 9735, 3375}, Face::Default, true},
    WindowControl{"ProgDefa4canais",
                  Kind::Button,
                  "Programação de fábrica",
                  {5160, 4800, 2175, 375},
                  Face::Default,
                  true,
                  Action::Factory},
    WindowControl{"Botao_Sair",
                  Kind::Button,
                  "ENCERRAR A UTILIZAÇÃO",
                  {7560, 4800, 2535, 375},
                  Face::Default,
                  true,
                  Action::Exit},
    WindowControl{
        "Label11", Kind::Label, "Programador ZELQON, versão 1.0", {360, 4920, 4575, 255}, Face::Default, true},
    WindowControl{"EnviaProgPadrao",
                  Kind::Button,
                  "Enviar PADRÃO DE PROGRAMAÇÃO (na inicialização do programa)",
                  {360, 5520, 9735, 375},
                  Face::Default,
                  false,
                  Action::SendAll},
    WindowControl{"Tela_Recebto", Kind::Monitor, "", {360, 6000, 9735, 4095}, Face::Default, true},
    WindowControl{"Label12",
                  Kind::Label,
                  "Janela provisória para visualização do envio e recebimento de dados:",
                  {360, 10200, 5055, 255},
                  Face::Default,
                  true},
    WindowControl{"Command1",
                  Kind::Button,
                  "Enviar comando: Atualizar",
                  {5640, 10200, 2655, 375},
                  Face::Default,
                  false,
                  Action::Atualizar},
    WindowControl{"Command2",
                  Kind::Button,
                  "Limpar janela",
                  {8520, 10200, 1575, 375},
                  Face::Default,
                  false,
                  Action::ClearMonitor},
};

// What each element of a radio page is; every page has the same elements.
enum class PageRole {
  CorBox,
  CorButton,
  DebounceCaption,
  DebounceList,
  RouteBox,
  RouteButton,
  HangCaption,
  HangList,
  SendButton,
};

// One element of the radio pages, with its name on each page. In the caption
// and the accessible name, %1 stands for the page's radio and %2 for the
// radio that a route row keys.
struct PageControl {
  PageRole role{};
  Kind kind{};
  Twips rect{};
  std::array<const char*, 4> names{};  // on the pages of radios 1 to 4
  const char* caption{};               // UTF-8
  const char* accessibleName{};        // UTF-8; empty for none
  int routeKey = 0;                    // 2..4 on a route row: the button R<n>_Cor_PTT<k>
};

// One row per element, kept on one line to read as the table it is.
// clang-format off
inline constexpr std::array kPageControls = {
    PageControl{PageRole::CorBox, Kind::CaptionBox, {720, 1800, 735, 285}, {"Text1", "Text7", "Text11", "Text15"}, "COR %1", ""},
    PageControl{PageRole::CorButton, Kind::Button, {1440, 1560, 735, 735}, {"R1_Cor", "R2_Cor", "R3_Cor", "R4_Cor"}, "ATIVO ALTO", "Nível ativo do COR do RÁDIO %1"},
    PageControl{PageRole::DebounceCaption, Kind::Label, {2880, 1440, 1695, 255}, {"Label3", "Label6", "Label8", "Label10"}, "Debounce Timer (mS)", ""},
    PageControl{PageRole::DebounceList, Kind::DelayList, {3000, 1800, 1215, 315}, {"R1_Cor_Delay_DT", "R2_Cor_Delay_DT", "R3_Cor_Delay_DT", "R4_Cor_Delay_DT"}, "", "Debounce Timer do RÁDIO %1, em milissegundos"},
    PageControl{PageRole::RouteBox, Kind::CaptionBox, {5280, 960, 615, 285}, {"Text2", "Text8", "Text12", "Text16"}, "PTT%2", "", 2},
    PageControl{PageRole::RouteButton, Kind::Button, {5880, 840, 975, 495}, {"R1_Cor_PTT2", "R2_Cor_PTT2", "R3_Cor_PTT2", "R4_Cor_PTT2"}, "Desativado", "RÁDIO %1 aciona o PTT%2", 2},
    PageControl{PageRole::RouteBox, Kind::CaptionBox, {5280, 1800, 615, 285}, {"Text3", "Text6", "Text10", "Text14"}, "PTT%2", "", 3},
    PageControl{PageRole::RouteButton, Kind::Button, {5880, 1680, 975, 495}, {"R1_Cor_PTT3", "R2_Cor_PTT3", "R3_Cor_PTT3", "R4_Cor_PTT3"}, "Desativado", "RÁDIO %1 aciona o PTT%2", 3},
    PageControl{PageRole::RouteBox, Kind::CaptionBox, {5280, 2640, 615, 285}, {"Text4", "Text5", "Text9", "Text13"}, "PTT%2", "", 4},
    PageControl{PageRole::RouteButton, Kind::Button, {5880, 2520, 975, 495}, {"R1_Cor_PTT4", "R2_Cor_PTT4", "R3_Cor_PTT4", "R4_Cor_PTT4"}, "Desativado", "RÁDIO %1 aciona o PTT%2", 4},
    PageControl{PageRole::HangCaption, Kind::Label, {7920, 1440, 1215, 255}, {"Label4", "Label5", "Label7", "Label9"}, "Hang Timer (mS)", ""},
    PageControl{PageRole::HangList, Kind::DelayList, {7920, 1800, 1215, 315}, {"R1_Cor_Delay_HT", "R2_Cor_Delay_HT", "R3_Cor_Delay_HT", "R4_Cor_Delay_HT"}, "", "Hang Timer do RÁDIO %1, em milissegundos"},
    PageControl{PageRole::SendButton, Kind::Button, {720, 2640, 3375, 495}, {"EnviaR1", "EnviaR2", "EnviaR3", "EnviaR4"}, "Enviar programação do RÁDIO %1", ""},
};
// clang-format on

// Straight lines beneath a page's controls, with their names on each page.
struct PageLine {
  TwipLine line;
  std::array<const char*, 4> names;
};

inline constexpr std::array kPageLines = {
    PageLine{{1200, 1920, 8520, 1920}, {"Line1", "Line10", "Line15", "Line20"}},  // the signal line
    PageLine{{5040, 1080, 7080, 1080}, {"Line2", "Line9", "Line14", "Line19"}},   // route box: top
    PageLine{{5040, 2760, 7080, 2760}, {"Line3", "Line8", "Line13", "Line18"}},   // bottom
    PageLine{{5040, 1080, 5040, 2760}, {"Line4", "Line7", "Line12", "Line17"}},   // left
    PageLine{{7080, 1080, 7080, 2760}, {"Line5", "Line6", "Line11", "Line16"}},   // right
};

// Every control that takes the focus, in the order the Tab key visits them.
inline constexpr std::array kFocusOrder = {
    "SSTab1",      "cboComm",         "R1_Cor_Delay_DT", "Botao_Sair",      "Text2",           "Picture1",
    "R1_Cor_PTT2", "R1_Cor_Delay_HT", "R1_Cor",          "Text1",           "Text3",           "Text4",
    "R1_Cor_PTT3", "R1_Cor_PTT4",     "Tela_Recebto",    "Command2",        "Command1",        "Text5",
    "Text6",       "Text7",           "R2_Cor_Delay_HT", "Text8",           "R2_Cor_Delay_DT", "Text9",
    "Text10",      "Text11",          "R3_Cor_Delay_HT", "Text12",          "R3_Cor_Delay_DT", "Text13",
    "Text14",      "Text15",          "R4_Cor_Delay_HT", "Text16",          "R4_Cor_Delay_DT", "R2_Cor_PTT4",
    "R2_Cor_PTT3", "R2_Cor",          "R2_Cor_PTT2",     "R3_Cor_PTT4",     "R3_Cor_PTT3",     "R3_Cor",
    "R3_Cor_PTT2", "R4_Cor_PTT4",     "R4_Cor_PTT3",     "R4_Cor",          "R4_Cor_PTT2",     "EnviaR1",
    "EnviaR2",     "EnviaR3",         "EnviaR4",         "EnviaProgPadrao", "ProgDefa4canais",
};

}  // namespace zelqon::layout
