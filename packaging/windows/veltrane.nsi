; The Windows installer: the programs, the README and its docs pages into
; Program Files\Veltrane, a Start menu entry, Veltrane under "Open with" for
; .ins files, and an uninstaller listed in Apps & features.
;
; Built by scripts/package-windows, which defines:
;   VERSION   the program's version, e.g. 1.0.0
;   STAGE     the folder with veltrane.exe, veltrane-check.exe, veltrane-lsp.exe,
;             README.txt, docs\ (the pages the README links to)
;             (and LICENSE.txt when the project has a licence)
;   OUTFILE   the installer to write
;   ICON      the program's icon file

!macro VELTRANE_REQUIRE name
  !ifndef ${name}
    !error "${name} is not defined: build the installer with scripts/package-windows"
  !endif
!macroend
!insertmacro VELTRANE_REQUIRE VERSION
!insertmacro VELTRANE_REQUIRE STAGE
!insertmacro VELTRANE_REQUIRE OUTFILE
!insertmacro VELTRANE_REQUIRE ICON

Unicode true
; The programs are 64-bit, so the installer is too: it writes to the 64-bit
; Program Files and registry without redirection.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!define PRODUCT "Veltrane"
!define PUBLISHER "Veltrane developers"
!define PROGID "Veltrane.ins"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define APPLICATION_KEY "Software\Classes\Applications\veltrane.exe"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; A new version goes where the last one was installed.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "Integration.nsh"
!include "LogicLib.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\veltrane.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!if /FileExists "${STAGE}\LICENSE.txt"
  !insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!endif
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Veltrane" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}\veltrane.exe"
  File "${STAGE}\veltrane-check.exe"
  File "${STAGE}\veltrane-lsp.exe"
  File "${STAGE}\README.txt"
  SetOutPath "$INSTDIR\docs"
  File /r "${STAGE}\docs\*"
  SetOutPath "$INSTDIR"
  !if /FileExists "${STAGE}\LICENSE.txt"
    File "${STAGE}\LICENSE.txt"
  !endif
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\veltrane.exe" "" \
      "$INSTDIR\veltrane.exe" 0 SW_SHOWNORMAL "" "Check MIDI instrument definition files"

  ; "Open with" for .ins files. The default program of .ins (the key's
  ; default value) belongs to the user and to other programs: it is never
  ; written here.
  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "Instrument definition file"
  WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\veltrane.exe,0"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" \
      '"$INSTDIR\veltrane.exe" "%1"'
  WriteRegNone HKLM "Software\Classes\.ins\OpenWithProgids" "${PROGID}"
  WriteRegStr HKLM "${APPLICATION_KEY}" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr HKLM "${APPLICATION_KEY}\SupportedTypes" ".ins" ""
  WriteRegStr HKLM "${APPLICATION_KEY}\shell\open\command" "" '"$INSTDIR\veltrane.exe" "%1"'

  ; Apps & features.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\veltrane.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ${NotifyShell_AssocChanged}
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\veltrane.exe"
  Delete "$INSTDIR\veltrane-check.exe"
  Delete "$INSTDIR\veltrane-lsp.exe"
  Delete "$INSTDIR\README.txt"
  ; docs\ holds nothing but the pages the installer put there.
  RMDir /r "$INSTDIR\docs"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: files the user saved there (protocols, say) stay.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"

  DeleteRegKey HKLM "Software\Classes\${PROGID}"
  DeleteRegKey HKLM "${APPLICATION_KEY}"
  ; Other programs' entries under .ins stay; the keys go only when nothing
  ; but ours was in them (/ifempty counts values as well as subkeys).
  DeleteRegValue HKLM "Software\Classes\.ins\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKLM "Software\Classes\.ins\OpenWithProgids"
  DeleteRegKey /ifempty HKLM "Software\Classes\.ins"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ${NotifyShell_AssocChanged}
SectionEnd
