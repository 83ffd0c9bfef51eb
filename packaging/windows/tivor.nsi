; The Tivor installer for 64-bit Windows, made by build.sh with Debian's makensis:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.8 -DSTAGE=folder -DOUTFILE=setup.exe
;            -DFILES=install-files.nsh -DUNFILES=uninstall-files.nsh -DSIZE_KB=n -DICON=tivor.ico tivor.nsi
; build.sh writes the two file lists from the staged folder, so the uninstaller removes exactly the
; files the installer put there. /S installs and uninstalls without asking; /D=folder (last) picks
; the folder. The user's settings (HKCU\Software\Tivor) and messages are never touched.

; First: without it makensis makes a 32-bit installer, which a 64-bit-only Wine cannot even start.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!include "MUI2.nsh"

!define APPKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tivor"
!define PROGID "Tivor.Mensaje"
!define UNINSTALLER "Desinstalar.exe"

Name "Tivor ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tivor"
; An update goes where the previous version went.
InstallDirRegKey HKLM "${APPKEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "Tivor ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1034 "ProductName" "Tivor"
VIAddVersionKey /LANG=1034 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1034 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1034 "FileDescription" "Instalación de Tivor"
VIAddVersionKey /LANG=1034 "CompanyName" "Equipo Tivor"
VIAddVersionKey /LANG=1034 "LegalCopyright" "Equipo Tivor. Licencia GPL-3.0 o posterior."

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "Este asistente instalará Tivor ${VERSION}, que compone mensajes y los carga en carteles LED por el puerto serie, y el cartel virtual para probar sin el aparato.$\r$\n$\r$\nPulse Siguiente para continuar."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Spanish"

Section "Tivor"
    SetShellVarContext all
    ; A previous installation leaves first, so that no file of an older version stays behind.
    IfFileExists "$INSTDIR\${UNINSTALLER}" 0 fresh
        ExecWait '"$INSTDIR\${UNINSTALLER}" /S _?=$INSTDIR'
        Delete "$INSTDIR\${UNINSTALLER}"
    fresh:

    SetOutPath "$INSTDIR"
    !include "${FILES}"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"

    CreateDirectory "$SMPROGRAMS\Tivor"
    CreateShortcut "$SMPROGRAMS\Tivor\Tivor.lnk" "$INSTDIR\tivor.exe" "" "$INSTDIR\tivor.ico" 0
    CreateShortcut "$SMPROGRAMS\Tivor\Cartel virtual Tivor.lnk" "$INSTDIR\tivor-sign.exe" "" "$INSTDIR\tivor.ico" 0

    ; .mnm files open in Tivor, for every user of the machine.
    WriteRegStr HKLM "Software\Classes\.mnm" "" "${PROGID}"
    WriteRegStr HKLM "Software\Classes\${PROGID}" "" "Mensaje para carteles Tivor"
    WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\tivor.ico"
    WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\tivor.exe" "%1"'

    ; The entry in Add or Remove Programs.
    WriteRegStr HKLM "${APPKEY}" "DisplayName" "Tivor"
    WriteRegStr HKLM "${APPKEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${APPKEY}" "Publisher" "Equipo Tivor"
    WriteRegStr HKLM "${APPKEY}" "DisplayIcon" "$INSTDIR\tivor.ico"
    WriteRegStr HKLM "${APPKEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${APPKEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKLM "${APPKEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKLM "${APPKEY}" "EstimatedSize" ${SIZE_KB}
    WriteRegDWORD HKLM "${APPKEY}" "NoModify" 1
    WriteRegDWORD HKLM "${APPKEY}" "NoRepair" 1

    ; Explorer redraws the .mnm files with their new icon (SHCNE_ASSOCCHANGED).
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    Delete "$SMPROGRAMS\Tivor\Tivor.lnk"
    Delete "$SMPROGRAMS\Tivor\Cartel virtual Tivor.lnk"
    RMDir "$SMPROGRAMS\Tivor"

    !include "${UNFILES}"
    Delete "$INSTDIR\${UNINSTALLER}"
    ; Not /r: a message or a Salida.txt the user keeps in the folder stays, and so does the folder.
    RMDir "$INSTDIR"

    ; .mnm is left alone if another program has taken it over since.
    ReadRegStr $0 HKLM "Software\Classes\.mnm" ""
    StrCmp $0 "${PROGID}" 0 +2
        DeleteRegKey HKLM "Software\Classes\.mnm"
    DeleteRegKey HKLM "Software\Classes\${PROGID}"
    DeleteRegKey HKLM "${APPKEY}"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
