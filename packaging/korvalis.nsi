; Korvalis installer: for the user alone, into a folder of the user's and without administrator
; rights, or for all users, elevated, into Program Files, where no program running as a user can
; change it (only such a copy offers to undo machine-wide changes as administrator). Run elevated,
; it also registers the program's event source for the whole machine.
;
; Built by the CMake target korvalis_package (scripts/package); by hand:
;   makensis -DARCH=win64 -DVERSION=1.0.0 -DSTAGE=<folder with korvalis.exe and README.txt>
;            -DICON=res/korvalis.ico -DOUTFILE=korvalis-1.0.0-win64-setup.exe packaging/korvalis.nsi
;
; Command line of the installer:    /S (silent)  /ALLUSERS (for all users, into Program Files)
;                                   /D=C:\Folder (install folder of a per-user install, must come last)
; Command line of the uninstaller:  /S (silent)  /REMOVESETTINGS (also remove settings and log)

!macro REQUIRE NAME
  !ifndef ${NAME}
    !error "define ${NAME} (makensis -D${NAME}=...)"
  !endif
!macroend
!insertmacro REQUIRE ARCH
!insertmacro REQUIRE VERSION
!insertmacro REQUIRE STAGE
!insertmacro REQUIRE ICON
!insertmacro REQUIRE OUTFILE

; The default stub is 32-bit; each program gets an installer of its own architecture, since a
; 32-bit installer cannot start where only 64-bit programs run (as under the tests' Wine).
!if "${ARCH}" == "win64"
  Target amd64-unicode
!else if "${ARCH}" == "win32"
  Target x86-unicode
!else
  !error "ARCH must be win64 or win32"
!endif

!define PRODUCT "Korvalis"
!define PUBLISHER "Brenmoor"
!define EXE "korvalis.exe"
!define UNINSTALLER "uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvalis"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The program's records in the Application event log come from this source.
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\${PRODUCT}"
; Errors, warnings and information: the kinds of record the source may write.
!define EVENT_TYPES_SUPPORTED 7
; What the program's hidden main window is called; closing it ends the program normally.
!define FORM_CLASS "KorvalisForm"
; The all-users install's own folder; a folder chosen elsewhere might be one users can change.
!if "${ARCH}" == "win64"
  !define ALLUSERS_DIR "$PROGRAMFILES64\${PRODUCT}"
!else
  !define ALLUSERS_DIR "$PROGRAMFILES\${PRODUCT}"
!endif
!define FORM_CAPTION "Korvalis"
!define CLOSE_WAIT_MS 5000

!include "MUI2.nsh"
!include "nsDialogs.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"
!include "WinMessages.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
; A per-user install needs no rights; the all-users one starts itself again elevated.
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show
; The only choice on the uninstaller's components page is about settings, which take no room.
SpaceTexts none

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "(c) ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "Setup will install ${PRODUCT} ${VERSION}, for you alone into a folder of your own without administrator rights, or for all users into Program Files.$\r$\n$\r$\nIf ${PRODUCT} is running, Setup closes it before it replaces the program.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
Page custom InstallModePage InstallModeLeave
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipForAllUsers
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_PAGE_HEADER_TEXT "Your settings"
!define MUI_PAGE_HEADER_SUBTEXT "Choose whether ${PRODUCT} should also forget your settings."
!define MUI_COMPONENTSPAGE_TEXT_TOP "${PRODUCT} keeps its switches, its window places and its activity log apart from the program, so that a later install finds them again. Tick the box to remove them as well."
!define MUI_COMPONENTSPAGE_TEXT_COMPLIST "Also remove:"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Var ClosedRunningCopy
; 1: for all users, elevated, into Program Files.
Var AllUsers
Var ForMeOnly
Var ForAllUsers
Var UserInstDir

; Asks a running Korvalis to end as its own menu would, so that it saves its switches and
; writes its closing record, and waits for the process to exit: its file can be replaced or
; deleted only then. Sets $ClosedRunningCopy to 1 when a copy was closed.
!macro DEFINE_CLOSE_KORVALIS PREFIX
Function ${PREFIX}CloseKorvalis
  StrCpy $ClosedRunningCopy 0
  retry:
  FindWindow $0 "${FORM_CLASS}" "${FORM_CAPTION}"
  ${If} $0 == 0
    Return
  ${EndIf}
  DetailPrint "Closing the running ${PRODUCT}..."
  System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
  ; SYNCHRONIZE: enough to wait for the end, and granted for one's own processes.
  System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
  System::Call 'user32::PostMessage(p r0, i ${WM_CLOSE}, p 0, p 0)'
  ${If} $2 P<> 0
    System::Call 'kernel32::WaitForSingleObject(p r2, i ${CLOSE_WAIT_MS}) i .r3'
    System::Call 'kernel32::CloseHandle(p r2)'
  ${Else}
    ; Without a handle the window's end is the best sign there is.
    StrCpy $3 0
    ${DoWhile} $3 < ${CLOSE_WAIT_MS}
      IsWindow $0 0 closed
      Sleep 100
      IntOp $3 $3 + 100
    ${Loop}
    closed:
  ${EndIf}
  FindWindow $0 "${FORM_CLASS}" "${FORM_CAPTION}"
  ${If} $0 <> 0
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "${PRODUCT} is still running and did not close when asked.$\r$\n$\r$\nClose it from its icon in the notification area (Close ${PRODUCT}) and choose Retry." \
      /SD IDCANCEL IDRETRY retry
    DetailPrint "${PRODUCT} is still running."
    Abort
  ${EndIf}
  StrCpy $ClosedRunningCopy 1
FunctionEnd
!macroend
!insertmacro DEFINE_CLOSE_KORVALIS ""
!insertmacro DEFINE_CLOSE_KORVALIS "un."

; Sets $0 to 1 when the installer runs with an administrator's full rights: a filtered token,
; even an administrator's, counts as a user's.
!macro DEFINE_IS_ELEVATED PREFIX
Function ${PREFIX}IsElevated
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
FunctionEnd
!macroend
!insertmacro DEFINE_IS_ELEVATED ""
!insertmacro DEFINE_IS_ELEVATED "un."

; The kind of install: the user's own, or for all users, which alone may undo as administrator.
Function InstallModePage
  !insertmacro MUI_HEADER_TEXT "Choose the kind of install" "For you alone, or for every user of this computer."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 40u "Only an install for all users can undo changes to the whole machine as administrator: there no program running as a user can change ${PRODUCT}'s own program file. It needs administrator rights and goes into Program Files."
  Pop $0
  ${NSD_CreateRadioButton} 10u 48u -10u 12u "Install for &me only"
  Pop $ForMeOnly
  ${NSD_CreateRadioButton} 10u 64u -10u 12u "Install for &all users"
  Pop $ForAllUsers
  ${If} $AllUsers == 1
    ${NSD_Check} $ForAllUsers
  ${Else}
    ${NSD_Check} $ForMeOnly
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function InstallModeLeave
  ${NSD_GetState} $ForAllUsers $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $AllUsers 1
  ${Else}
    StrCpy $AllUsers 0
  ${EndIf}
  Call ApplyInstallMode
FunctionEnd

; For all users the installer runs elevated, or starts itself again elevated (the system asks
; first), and installs into Program Files only.
Function ApplyInstallMode
  ${If} $AllUsers != 1
    StrCpy $INSTDIR $UserInstDir
    Return
  ${EndIf}
  Call IsElevated
  ${If} $0 == 0
    ${If} ${Silent}
      ExecShell "runas" "$EXEPATH" "/S /ALLUSERS"
    ${Else}
      ExecShell "runas" "$EXEPATH" "/ALLUSERS"
    ${EndIf}
    Quit
  ${EndIf}
  StrCpy $INSTDIR "${ALLUSERS_DIR}"
FunctionEnd

Function SkipForAllUsers
  ${If} $AllUsers == 1
    Abort
  ${EndIf}
FunctionEnd

Function .onInit
  StrCpy $AllUsers 0
  StrCpy $UserInstDir $INSTDIR
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ALLUSERS" $1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
    Call ApplyInstallMode
  ${EndIf}
FunctionEnd

!macro SET_INSTALL_CONTEXT
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
!macroend

; Event Viewer shows the text of a record only when the source names the file holding its
; message table; without it every record reads "The description for Event ID 0 ... cannot be
; found". The source's key is the machine's, so only an elevated installer may write it.
Function RegisterEventSource
  Call IsElevated
  ${If} $0 == 0
    DetailPrint "Not run as administrator: Event Viewer will not show the text of ${PRODUCT}'s records."
    Return
  ${EndIf}
  ClearErrors
  WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\${EXE}"
  WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" ${EVENT_TYPES_SUPPORTED}
  ${If} ${Errors}
    DetailPrint "The event source could not be registered: Event Viewer will not show the text of ${PRODUCT}'s records."
  ${Else}
    DetailPrint "Registered the event source ${PRODUCT} with its messages in $INSTDIR\${EXE}."
  ${EndIf}
FunctionEnd

; Only a source that names this copy is removed, and only with the rights to: a source naming
; another copy still serves that one.
Function un.UnregisterEventSource
  ReadRegStr $1 HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile"
  ${If} $1 != "$INSTDIR\${EXE}"
    Return
  ${EndIf}
  Call un.IsElevated
  ${If} $0 == 1
    DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
  ${Else}
    DetailPrint "Not run as administrator: the event source ${PRODUCT} stays registered."
  ${EndIf}
FunctionEnd

Section "${PRODUCT}" SecProgram
  SectionIn RO
  ; All users: the shortcut in the common Start menu, the uninstall entry under HKLM (SHCTX).
  !insertmacro SET_INSTALL_CONTEXT
  Call CloseKorvalis

  SetOutPath "$INSTDIR"
  File "${STAGE}/${EXE}"
  File "${STAGE}/README.txt"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0 SW_SHOWNORMAL "" \
    "Asks before a program makes itself start with Windows"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntOp $0 $0 + 1  ; GetSize rounds down
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0

  Call RegisterEventSource

  ; A silent update must not leave the guard off; interactively the finish page offers the start.
  ${If} ${Silent}
  ${AndIf} $ClosedRunningCopy == 1
    Exec '"$INSTDIR\${EXE}"'
  ${EndIf}
SectionEnd

Section "-un.${PRODUCT}"
  !insertmacro SET_INSTALL_CONTEXT
  ; First, so that the program neither sees its autostart value go nor writes its settings
  ; back after they have been removed.
  Call un.CloseKorvalis

  ; The program writes its own full path in quotes; a value naming another copy is not ours.
  ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
  ${If} $0 == '"$INSTDIR\${EXE}"'
  ${OrIf} $0 == "$INSTDIR\${EXE}"
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only when empty: the folder may have been chosen by hand and hold other files.
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ; After the close above, whose closing record would make the key again.
  Call un.UnregisterEventSource
SectionEnd

Section /o "un.Settings and activity log" SecSettings
  DeleteRegKey HKCU "Software\Brenmoor\${PRODUCT}"
  DeleteRegKey /ifempty HKCU "Software\Brenmoor"
  DeleteRegKey HKCU "Software\Windows Brenmoor\${PRODUCT}"
  DeleteRegKey /ifempty HKCU "Software\Windows Brenmoor"
  Delete "$LOCALAPPDATA\${PRODUCT}\korvalis.log"
  ; The stored baseline and its refusals go with the settings; refused files kept in the
  ; quarantine are the user's and stay, and with them the folder.
  Delete "$LOCALAPPDATA\${PRODUCT}\baseline.dat"
  Delete "$LOCALAPPDATA\${PRODUCT}\baseline.dat.*"
  RMDir "$LOCALAPPDATA\${PRODUCT}"
SectionEnd

Function un.onInit
  ; An install for all users is the one whose machine-wide entry names this folder; removing it
  ; takes an administrator.
  StrCpy $AllUsers 0
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    StrCpy $AllUsers 1
    Call un.IsElevated
    ${If} $0 == 0
      MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} is installed for all users: only an administrator can remove it. Run its uninstaller as administrator." /SD IDOK
      Abort
    ${EndIf}
  ${EndIf}
  ${un.GetParameters} $0
  ClearErrors
  ${un.GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecSettings}
  ${EndIf}
FunctionEnd
