; The Windows installer: makensis -DVERSION=1.0.0 -DSTAGE=<installed folder>
;   -DFILES=<file list> -DOUTFILE=<installer.exe> zelqon.nsi
; FILES is written by make-packages.sh from the installed folder: a File
; line and a Delete line per file and an RMDir line per folder, so the
; uninstaller removes exactly what was installed and nothing the operator
; put beside it.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include WinMessages.nsh
!include StrFunc.nsh
${StrStr}
${UnStrRep}

!define PRODUCT "ZELQON"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
!define FILE_TYPE "ZELQON.PerfilDeSite"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ShowInstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "FileDescription" "Instalador do programador da controladora ZELQON"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "ZELQON programmer contributors"

!define MUI_ICON "${STAGE}\zelqon.ico"
!define MUI_UNICON "${STAGE}\zelqon.ico"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "PortugueseBR"

; The system's Path is read and written whole: NSIS holds at most
; NSIS_MAX_STRLEN characters, so a longer Path is left alone rather than cut.
Function AddToPath
  ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
  StrLen $1 "$0;$INSTDIR"
  ${If} $1 >= ${NSIS_MAX_STRLEN}
    DetailPrint "O Path do sistema é longo demais para ser alterado; zelqon-cli.exe está em $INSTDIR."
    Return
  ${EndIf}
  ${StrStr} $2 ";$0;" ";$INSTDIR;"
  ${If} $2 == ""
    ${If} $0 == ""
      WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$INSTDIR"
    ${Else}
      WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$0;$INSTDIR"
    ${EndIf}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "AddedToPath" 1
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=2000
  ${EndIf}
FunctionEnd

Function un.RemoveFromPath
  ReadRegDWORD $3 HKLM "${UNINSTALL_KEY}" "AddedToPath"
  ${If} $3 != 1
    Return
  ${EndIf}
  ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
  StrLen $1 $0
  ${If} $1 >= ${NSIS_MAX_STRLEN}
    Return
  ${EndIf}
  ; Between semicolons, so that only the whole entry goes.
  ${UnStrRep} $0 ";$0;" ";$INSTDIR;" ";"
  StrCpy $0 $0 "" 1
  StrCpy $0 $0 -1
  WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" $0
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=2000
FunctionEnd

Section "ZELQON"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  !define FILE_LINES
  !include "${FILES}"
  !undef FILE_LINES
  WriteUninstaller "$INSTDIR\Desinstalar.exe"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\zelqon.exe" "" "$INSTDIR\zelqon.exe" 0

  ; *.zelqon opens in the window, shown with the program's icon.
  WriteRegStr HKLM "Software\Classes\.zelqon" "" "${FILE_TYPE}"
  WriteRegStr HKLM "Software\Classes\.zelqon" "Content Type" "application/x-zelqon-profile"
  WriteRegStr HKLM "Software\Classes\${FILE_TYPE}" "" "Perfil de site ZELQON"
  WriteRegStr HKLM "Software\Classes\${FILE_TYPE}\DefaultIcon" "" "$INSTDIR\zelqon.exe,0"
  WriteRegStr HKLM "Software\Classes\${FILE_TYPE}\shell\open\command" "" '"$INSTDIR\zelqon.exe" "%1"'
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "ZELQON programmer contributors"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zelqon.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Desinstalar.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Desinstalar.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  Call AddToPath
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Call un.RemoveFromPath
  !define DELETE_LINES
  !include "${FILES}"
  !undef DELETE_LINES
  Delete "$INSTDIR\Desinstalar.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"

  ; The file type goes only while it is still ours.
  ReadRegStr $0 HKLM "Software\Classes\.zelqon" ""
  ${If} $0 == "${FILE_TYPE}"
    DeleteRegKey HKLM "Software\Classes\.zelqon"
  ${EndIf}
  DeleteRegKey HKLM "Software\Classes\${FILE_TYPE}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
