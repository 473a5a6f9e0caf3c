; The Windows installer, made by makensis from the staged portable folder.
; tools/windows/package passes VERSION (1.0.1), VERSION_TEXT ("1.0.1 build 2"),
; VERSION_QUAD (1.0.1.2), STAGE (the staged folder), FILES (the list of the
; File commands for the staged files, made from it), LICENSE (the freeware terms), SIZE_KB, ICON
; and OUTFILE.
;
; It installs for the current user, into the user's own programs folder and
; without administrator rights, unless it runs elevated or is given
; /AllUsers; then into Program Files for everyone (/CurrentUser keeps an
; elevated install to the user). /S installs silently.
; Installing over an earlier version replaces it in place. The uninstaller
; removes exactly the files that were installed, the shortcut and the
; registry entry, and nothing of the user's own.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel user

!include LogicLib.nsh
!include FileFunc.nsh
!include TextFunc.nsh
!include WordFunc.nsh
!include MUI2.nsh

!define PRODUCT "Quillmend"
!define PUBLISHER "The Quillmend developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION_TEXT}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "© 2026 ${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION_TEXT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION_TEXT}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_LICENSEPAGE_TEXT_TOP "Quillmend is freeware. Please read its terms."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "Click I Agree to install Quillmend."
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Quillmend"
!define MUI_FINISHPAGE_RUN_FUNCTION StartQuillmend

!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var AllUsers

; 1 when this process runs elevated, with an administrator's full rights,
; else 0. (An administrator's programs run without them under the system's
; user account control until the consent prompt grants them.)
!macro IsElevated result
  StrCpy ${result} 0
  System::Call 'advapi32::OpenProcessToken(p -1, i 0x8, *p .R8) i .R9'
  ${If} $R9 <> 0
    ; TokenElevation (20): one DWORD, TokenIsElevated.
    System::Call 'advapi32::GetTokenInformation(p R8, i 20, *i .R9, i 4, *i .R7) i .R6'
    ${If} $R6 <> 0
    ${AndIf} $R9 <> 0
      StrCpy ${result} 1
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p R8)'
  ${EndIf}
!macroend

; Starts this program again with the system's consent prompt, with the same
; arguments and /AllUsers, waits for it, and ends with its outcome.
!macro RunElevatedAndQuit
  ${GetParameters} $0
  ClearErrors
  ExecShellWait "runas" "$EXEPATH" "$0 /AllUsers"
  ${If} ${Errors}
    MessageBox MB_ICONSTOP "Quillmend is installed for all users only with an administrator's consent, which was not given. Nothing was changed." /SD IDOK
    SetErrorLevel 1
  ${EndIf}
  Quit
!macroend

!macro UseContext
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
!macroend

!macro ReadEntry result name
  ${If} $AllUsers == 1
    ReadRegStr ${result} HKLM "${UNINSTALL_KEY}" "${name}"
  ${Else}
    ReadRegStr ${result} HKCU "${UNINSTALL_KEY}" "${name}"
  ${EndIf}
!macroend

!macro WriteEntry name value
  ${If} $AllUsers == 1
    WriteRegStr HKLM "${UNINSTALL_KEY}" "${name}" "${value}"
  ${Else}
    WriteRegStr HKCU "${UNINSTALL_KEY}" "${name}" "${value}"
  ${EndIf}
!macroend

!macro WriteNumber name value
  ${If} $AllUsers == 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "${name}" ${value}
  ${Else}
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "${name}" ${value}
  ${EndIf}
!macroend

; Removes the files that installed-files.txt names (one path under $INSTDIR
; a line, as the installer wrote it), the folders they leave empty, and the
; list. A line that could reach outside $INSTDIR is passed over.
!macro RemoveListedFiles un
Function ${un}RemoveListedFiles
  ClearErrors
  FileOpen $R0 "$INSTDIR\installed-files.txt" r
  ${If} ${Errors}
    Return
  ${EndIf}
  ${Do}
    ClearErrors
    FileRead $R0 $R1
    ${If} ${Errors}
      ${Break}
    ${EndIf}
    ${TrimNewLines} $R1 $R1
    ${If} $R1 == ""
    ${OrIf} $R1 == "installed-files.txt"
      ${Continue}
    ${EndIf}
    ${WordFind} $R1 ".." "E#" $R2
    ${IfNot} ${Errors}
      ${Continue}
    ${EndIf}
    ${WordFind} $R1 ":" "E#" $R2
    ${IfNot} ${Errors}
      ${Continue}
    ${EndIf}
    StrCpy $R2 $R1 1
    ${If} $R2 == "\"
    ${OrIf} $R2 == "/"
      ${Continue}
    ${EndIf}
    Delete "$INSTDIR\$R1"
    ${GetParent} "$INSTDIR\$R1" $R2
    ${If} $R2 != $INSTDIR
      RMDir $R2
    ${EndIf}
  ${Loop}
  FileClose $R0
  Delete "$INSTDIR\installed-files.txt"
FunctionEnd
!macroend
!insertmacro RemoveListedFiles ""
!insertmacro RemoveListedFiles "un."

; Started by Explorer, the program runs as the user does and not elevated
; like an installer for all users: Windows refuses a drop from Explorer onto
; an elevated window.
Function StartQuillmend
  ${If} $AllUsers == 1
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\quillmend.exe"'
  ${Else}
    Exec '"$INSTDIR\quillmend.exe"'
  ${EndIf}
FunctionEnd

Function .onInit
  ; Elevated, or asked to with /AllUsers: for everyone; /CurrentUser keeps
  ; an elevated install to this user.
  ${GetParameters} $0
  !insertmacro IsElevated $AllUsers
  ClearErrors
  ${GetOptions} $0 "/CurrentUser" $1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 0
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/AllUsers" $1
  ${IfNot} ${Errors}
  ${AndIf} $AllUsers == 0
    !insertmacro IsElevated $2
    ${If} $2 == 1
      StrCpy $AllUsers 1
    ${Else}
      !insertmacro RunElevatedAndQuit
    ${EndIf}
  ${EndIf}
  !insertmacro UseContext
  ${If} $AllUsers == 1
    StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
  ${EndIf}
  ; An installed version is replaced where it stands.
  !insertmacro ReadEntry $3 "InstallLocation"
  ${If} $3 != ""
    StrCpy $INSTDIR $3
  ${EndIf}
FunctionEnd

Section "Quillmend"
  SetOutPath "$INSTDIR"
  ; The files of the version being replaced, which this version may not have.
  ${If} ${FileExists} "$INSTDIR\installed-files.txt"
    Call RemoveListedFiles
  ${EndIf}
  !include "${FILES}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\quillmend.exe" "" "$INSTDIR\quillmend.exe" 0

  ${If} $AllUsers == 1
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /AllUsers'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /AllUsers /S'
  ${Else}
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  ${EndIf}
  !insertmacro WriteEntry "DisplayName" "${PRODUCT}"
  !insertmacro WriteEntry "DisplayVersion" "${VERSION_TEXT}"
  !insertmacro WriteEntry "Publisher" "${PUBLISHER}"
  !insertmacro WriteEntry "DisplayIcon" "$INSTDIR\quillmend.exe,0"
  !insertmacro WriteEntry "InstallLocation" "$INSTDIR"
  !insertmacro WriteNumber "EstimatedSize" ${SIZE_KB}
  !insertmacro WriteNumber "NoModify" 1
  !insertmacro WriteNumber "NoRepair" 1
SectionEnd

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AllUsers" $1
  ${If} ${Errors}
    ; Started without the option, say from its folder: an install for
    ; everyone is known by the system-wide entry that names this folder.
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    StrCpy $AllUsers 0
    ${If} $1 == $INSTDIR
      StrCpy $AllUsers 1
    ${EndIf}
  ${Else}
    StrCpy $AllUsers 1
  ${EndIf}
  ${If} $AllUsers == 1
    !insertmacro IsElevated $2
    ${If} $2 != 1
      !insertmacro RunElevatedAndQuit
    ${EndIf}
  ${EndIf}
  !insertmacro UseContext
FunctionEnd

Section "Uninstall"
  Call un.RemoveListedFiles
  Delete "$INSTDIR\uninstall.exe"
  ; Only an empty folder is removed: whatever the user put there stays.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  ${If} $AllUsers == 1
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${Else}
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${EndIf}
SectionEnd
