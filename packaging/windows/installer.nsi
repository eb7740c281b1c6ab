; The Windows installer: screen-capturer.exe, its help page and the licence texts in a
; per-machine folder, an uninstaller, and an entry in the system's list of programs.
; Silent with /S; /D=<folder> chooses the folder.
;
;   makensis -DVERSION=<version> -DFILES=<folder of the files> -DOUTFILE=<setup.exe> installer.nsi

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!define KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\screen-capturer"

Name "Screen Capturer ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\screen-capturer"
InstallDirRegKey HKLM "${KEY}" "InstallLocation"
LicenseData "${FILES}/COPYING.txt"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Screen Capturer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Screen Capturer installer"
VIAddVersionKey "LegalCopyright" "GNU GPL version 2 or later"

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The entry in the list of programs is a 64-bit program's.
Function .onInit
  SetRegView 64
FunctionEnd
Function un.onInit
  SetRegView 64
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File /r "${FILES}/*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${KEY}" "DisplayName" "Screen Capturer"
  WriteRegStr HKLM "${KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${KEY}" "Publisher" "screen-capturer maintainers"
  WriteRegStr HKLM "${KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${KEY}" "DisplayIcon" "$INSTDIR\screen-capturer.exe"
  WriteRegStr HKLM "${KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; Only what the installer put there; the folder goes when nothing else is left in it.
  Delete "$INSTDIR\screen-capturer.exe"
  Delete "$INSTDIR\help-114.html"
  Delete "$INSTDIR\COPYING.txt"
  Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
  RMDir /r "$INSTDIR\licenses"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${KEY}"
SectionEnd
