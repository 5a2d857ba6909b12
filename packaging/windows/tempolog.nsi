; The tempolog installer for 64-bit Windows, made by scripts/windows-package
; with NSIS from the folder `cmake --install` lays out. It is given:
;   VERSION   the program's version          FOLDER  the folder to install
;   OUTFILE   the installer to write         FILES   the generated file list
;   SIZE_KB   the folder's size, for Add/Remove Programs
;   LICENSE_PAGE  the text of the licence page
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!define APP "tempolog"
!define PUBLISHER "The tempolog maintainers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${APP} ${VERSION}"

; Two kinds of install. For all users: Program Files, the common Start menu,
; the key under HKLM; it needs administrator rights. For the current user
; alone: the user's own programs folder (%LOCALAPPDATA%\Programs\tempolog),
; the user's Start menu, the key under HKCU; it needs none. The installer
; starts with the highest rights the user has (an administrator is asked to
; raise them, anyone else is not asked). An administrator chooses the kind on
; a page, all users marked; anyone else gets the current user's without a
; page. Silently, /AllUsers or /CurrentUser chooses; without either an
; administrator gets all users, anyone else the current user. A second
; install of a kind goes where the first one of that kind went.
; The uninstaller does its own choosing (un.onInit below).
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "${APP}"
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_NOUNINSTALL
!include "MultiUser.nsh"

!include "MUI2.nsh"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${LICENSE_PAGE}"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\tempolog.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The kind for all users without administrator rights: a message (none when
; silent) and Windows' exit status for "elevation required", 740.
!macro QUIT_UNLESS_ADMIN DOING
  UserInfo::GetAccountType
  Pop $1
  ${If} $1 != "Admin"
  ${AndIf} $1 != "Power"
    MessageBox MB_OK|MB_ICONSTOP "${DOING} ${APP} for all users needs administrator rights." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
!macroend

; MultiUser's own refusal of /AllUsers would wait on a message box even in a
; silent install: this one comes first.
Function .onInit
  SetRegView 64
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AllUsers" $1
  ${IfNot} ${Errors}
    !insertmacro QUIT_UNLESS_ADMIN "Installing"
  ${EndIf}
  !insertmacro MULTIUSER_INIT
FunctionEnd

; The uninstaller removes the install it sits in: the one of the current user
; when the current user's key names its folder, else the one for all users.
; (MultiUser's own choice would give an administrator the all-users kind
; whichever folder the uninstaller sits in.)
Function un.onInit
  SetRegView 64
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    SetShellVarContext current
  ${Else}
    !insertmacro QUIT_UNLESS_ADMIN "Removing"
    SetShellVarContext all
  ${EndIf}
FunctionEnd

; SHCTX is HKLM for all users and HKCU for the current user, as the context
; chosen above says.
Section "tempolog"
  !define INSTALL_FILES
  !include "${FILES}"
  !undef INSTALL_FILES
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\tempolog.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tempolog.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes exactly what the installer put there: the user's own files (logs
; saved into the folder) and the folder holding them stay.
Section "Uninstall"
  Delete "$SMPROGRAMS\${APP}.lnk"
  !define UNINSTALL_FILES
  !include "${FILES}"
  !undef UNINSTALL_FILES
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
