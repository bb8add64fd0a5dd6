; The Windows installer: the unpacked zip's files into Program Files, a
; Start-menu entry, an uninstaller and, if chosen, a start with the session
; at log-on. makensis -DSTAGE=<unpacked zip> -DOUT=<setup.exe> -DVERSION=<v>
Unicode true
Name "KLANGKELTER ${VERSION}"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\KLANGKELTER"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

Section "KLANGKELTER" SecMain
    SectionIn RO
    SetOutPath "$INSTDIR"
    File "${STAGE}\klangkelter.exe"
    File "${STAGE}\lame.exe"
    File "${STAGE}\libmpg123-0.dll"
    File "${STAGE}\LIESMICH.txt"
    SetOutPath "$INSTDIR\Handbuch"
    File "${STAGE}\Handbuch\manual.html"
    File "${STAGE}\Handbuch\manual-screen.png"
    CreateDirectory "$SMPROGRAMS\KLANGKELTER"
    CreateShortcut "$SMPROGRAMS\KLANGKELTER\KLANGKELTER.lnk" "$INSTDIR\klangkelter.exe"
    CreateShortcut "$SMPROGRAMS\KLANGKELTER\Handbuch.lnk" "$INSTDIR\Handbuch\manual.html"
    CreateShortcut "$SMPROGRAMS\KLANGKELTER\Deinstallieren.lnk" "$INSTDIR\uninstall.exe"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\KLANGKELTER" "DisplayName" "KLANGKELTER"
    WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\KLANGKELTER" "UninstallString" "$INSTDIR\uninstall.exe"
SectionEnd

Section /o "Beim Anmelden mit der Sitzung starten (--resume)" SecAutostart
    CreateShortcut "$SMSTARTUP\KLANGKELTER.lnk" "$INSTDIR\klangkelter.exe" "--resume"
SectionEnd

Section "Uninstall"
    Delete "$SMSTARTUP\KLANGKELTER.lnk"
    RMDir /r "$SMPROGRAMS\KLANGKELTER"
    RMDir /r "$INSTDIR"
    DeleteRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\KLANGKELTER"
SectionEnd
