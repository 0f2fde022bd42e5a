; The Windows installer of Zelk: a per-user install that needs no
; administrator rights, made on Debian with makensis by
; tools/package-windows.sh, which passes:
;   VERSION   the game's version, "1.0.0"
;   STAGE     the folder the zip is made from (zelk.exe, OpenAL32.dll, data\ ...)
;   FILES     a generated script with one File line per file of STAGE
;   UNFILES   a generated script that deletes exactly those files and then
;             the folders they were in, when empty
;   SIZE_KB   the installed size in KiB, for "Apps & features"
;   ICON      the game's icon (data/icons/zelk.ico)
;   OUTFILE   the installer to write
;
; Silent use: zelk-setup-x64.exe /S [/D=C:\Games\Zelk]   (/D last, unquoted)
;             "<folder>\uninstall.exe" /S
; The player's settings and scores (.quollstate in the install folder) are
; never removed: not by an upgrade, not by the uninstaller.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestSupportedOS all
ManifestDPIAware true

!define NAME "Zelk"
!define PUBLISHER "Zelk developers"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zelk"
!define STATE_FILE ".quollstate"

Name "${NAME}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${NAME}"
; An upgrade goes where the last install went.
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
BrandingText "${NAME} ${VERSION}"
ShowInstDetails hide
ShowUninstDetails hide

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${NAME}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${NAME} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "OriginalFilename" "zelk-setup-x64.exe"

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_CUSTOMFUNCTION_ABORT LeaveNothing
!define MUI_COMPONENTSPAGE_NODESC

!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Play ${NAME} now"
!define MUI_FINISHPAGE_RUN_FUNCTION PlayNow
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; The game saves beside itself: a folder the player cannot write to (such
; as one under Program Files without administrator rights) would lose every
; save, so it is refused here rather than found out later.
Function CheckFolder
  ClearErrors
  CreateDirectory "$INSTDIR"
  FileOpen $0 "$INSTDIR\.zelk-setup-test" w
  ${If} ${Errors}
    MessageBox MB_ICONEXCLAMATION|MB_OK "${NAME} cannot be installed in$\r$\n$INSTDIR$\r$\nbecause you cannot write to that folder, and the game keeps its settings and scores there.$\r$\n$\r$\nPlease choose a folder of your own, such as the one proposed at first."
    RMDir "$INSTDIR"
    Abort
  ${EndIf}
  FileClose $0
  Delete "$INSTDIR\.zelk-setup-test"
FunctionEnd

; Cancelled: the folder the check above made goes again, if it is empty.
Function LeaveNothing
  RMDir "$INSTDIR"
FunctionEnd

Function PlayNow
  ; Started as the Start-menu shortcut starts it: from its own folder.
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\zelk.exe"'
FunctionEnd

Section "${NAME}" SecGame
  SectionIn RO
  SetShellVarContext current
  ; Over an older version: its own uninstaller takes away what it put
  ; here (files a newer version no longer has included) and keeps the
  ; player's state file.
  ${If} ${FileExists} "$INSTDIR\uninstall.exe"
    ExecWait '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  ${EndIf}

  SetOverwrite on
  !include "${FILES}"

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; The working folder of a shortcut is the current output folder: the
  ; install folder, where the game finds its data and keeps .quollstate.
  CreateShortcut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\zelk.exe" "" "$INSTDIR\zelk.exe" 0 SW_SHOWNORMAL "" "Play ${NAME}"

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\zelk.exe,0"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
SectionEnd

Section "Desktop shortcut" SecDesktop
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  CreateShortcut "$DESKTOP\${NAME}.lnk" "$INSTDIR\zelk.exe" "" "$INSTDIR\zelk.exe" 0 SW_SHOWNORMAL "" "Play ${NAME}"
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  ; A game still running keeps its program file: then nothing is removed,
  ; rather than half of it.
  retry:
  Delete "$INSTDIR\zelk.exe"
  IfFileExists "$INSTDIR\zelk.exe" 0 +3
    MessageBox MB_ICONEXCLAMATION|MB_RETRYCANCEL "${NAME} is still running.$\r$\nClose the game, then choose Retry." /SD IDCANCEL IDRETRY retry
    Abort "${NAME} is still running."
  Delete "$SMPROGRAMS\${NAME}.lnk"
  Delete "$DESKTOP\${NAME}.lnk"
  !include "${UNFILES}"
  Delete "$INSTDIR\uninstall.exe"
  DeleteRegKey HKCU "${UNINST_KEY}"
  ${If} ${FileExists} "$INSTDIR\${STATE_FILE}"
    DetailPrint "Kept your settings and scores: $INSTDIR\${STATE_FILE}"
    MessageBox MB_ICONINFORMATION|MB_OK "${NAME} has been removed.$\r$\n$\r$\nYour settings, badges and best scores were kept in$\r$\n$INSTDIR\${STATE_FILE}$\r$\nInstall ${NAME} into this folder again to play on with them, or delete the folder to remove them too." /SD IDOK
  ${EndIf}
  ; Only when nothing of the player's is left in it.
  RMDir "$INSTDIR"
SectionEnd
