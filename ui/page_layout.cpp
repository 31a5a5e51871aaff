#include "ui/page_layout.h"

#include "protocol/radio_program.h"

namespace zelqon::layout {

int routeKeyOf(PageRole role) {
  switch (role) {
    case PageRole::RouteBox1:
    case PageRole::RouteButton1:
      return 2;
    case PageRole::RouteBox2:
    case PageRole::RouteButton2:
      return 3;
    case PageRole::RouteBox3:
    case PageRole::RouteButton3:
      return 4;
    default:
      return 0;
  }
}

QString pageControlName(int radio, PageRole role) {
  const PageNames& names = kPageNames.at(std::size_t(radio - 1));
  const QString prefix = QStringLiteral("R%1_").arg(radio);
  switch (role) {
    case PageRole::CorBox:
      return QString::fromLatin1(names.corBox);
    case PageRole::CorButton:
      return prefix + QStringLiteral("Cor");
    case PageRole::DebounceCaption:
      return QString::fromLatin1(names.debounceCaption);
    case PageRole::DebounceList:
      return prefix + QStringLiteral("Cor_Delay_DT");
    case PageRole::RouteBox1:
    case PageRole::RouteBox2:
    case PageRole::RouteBox3:
      return QString::fromLatin1(names.routeBoxes.at(std::size_t(routeKeyOf(role) - 2)));
    case PageRole::RouteButton1:
    case PageRole::RouteButton2:
    case PageRole::RouteButton3:
      return prefix + QStringLiteral("Cor_PTT%1").arg(routeKeyOf(role));
    case PageRole::HangCaption:
      return QString::fromLatin1(names.hangCaption);
    case PageRole::HangList:
      return prefix + QStringLiteral("Cor_Delay_HT");
    case PageRole::SendButton:
      return QStringLiteral("EnviaR%1").arg(radio);
  }
  return {};
}

QString pageCaption(int radio, PageRole role) {
  switch (role) {
    case PageRole::CorBox:
      return QStringLiteral("COR %1").arg(radio);
    case PageRole::CorButton:
      return kCorActiveHigh;
    case PageRole::DebounceCaption:
      return QStringLiteral("Debounce Timer (mS)");
    case PageRole::RouteBox1:
    case PageRole::RouteBox2:
    case PageRole::RouteBox3:
      return QStringLiteral("PTT%1").arg(routedRadio(radio, routeKeyOf(role)));
    case PageRole::RouteButton1:
    case PageRole::RouteButton2:
    case PageRole::RouteButton3:
      return kRouteOff;
    case PageRole::HangCaption:
      return QStringLiteral("Hang Timer (mS)");
    case PageRole::SendButton:
      return QStringLiteral("Enviar programação do RÁDIO %1").arg(radio);
    case PageRole::DebounceList:
    case PageRole::HangList:
      return {};
  }
  return {};
}

}  // namespace zelqon::layout
