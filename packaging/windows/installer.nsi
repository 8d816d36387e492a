; Per-user installer: no administrator rights, installed under %LOCALAPPDATA%\Programs, a
; Start-menu entry and an uninstaller registered for the user. The player's data folder
; (%APPDATA%\.halvark_launcher) is never touched.
; Neither replaces nor removes files under a running launcher: it asks the player to close it,
; and a silent run fails (exit status 2) instead of leaving a mix of old and new files.
; makensis -INPUTCHARSET UTF8 -DVERSION=x.y.z -DSTAGE=<folder with the launcher>
;          -DOUTFILE=<installer.exe> -DSIZE_KB=<installed size>
;          -DUNINSTALL_FILES=<Delete lines for every staged file>
;          -DUNINSTALL_FOLDERS=<RMDir lines for every staged folder>
; The launcher is 64-bit only, and so is its installer (it then runs without 32-bit support).
Target amd64-unicode
!include "MUI2.nsh"
!include "LogicLib.nsh"

!define NAME "Halvark Launcher"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\HalvarkLauncher"
; Held by every running launcher (src/app/running_mark.cpp).
!define RUNNING_MUTEX "Local\HalvarkLauncherRunning"

Name "${NAME} ${VERSION}"
BrandingText "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${NAME}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
; A file that cannot be replaced stops the install; it is never skipped.
AllowSkipFiles off
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${NAME}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "Halvark"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Halvark"
VIAddVersionKey /LANG=1033 "FileDescription" "${NAME} ${VERSION} setup"

!define MUI_ICON "${STAGE}/halvark_launcher.ico"
!define MUI_UNICON "${STAGE}/halvark_launcher.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\halvark_launcher.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Russian"

LangString launcher_running ${LANG_ENGLISH} "${NAME} is running. Close it, then press Retry."
LangString launcher_running ${LANG_RUSSIAN} "${NAME} запущен. Закройте его и повторите попытку."
LangString files_left ${LANG_ENGLISH} "Some files of ${NAME} could not be removed (is it running?). Close it and run the uninstaller again."
LangString files_left ${LANG_RUSSIAN} "Часть файлов ${NAME} не удалось удалить (он запущен?). Закройте его и снова запустите удаление."

; Waits for every running launcher to end, asking the player; a silent run cannot ask and fails.
!macro WAIT_FOR_LAUNCHER
    ${Do}
        System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .r0'
        ${If} $0 P= 0
            ${Break}
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p r0)'
        ${If} ${Silent}
            SetErrorLevel 2
            Quit
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(launcher_running)" IDRETRY +3
        SetErrorLevel 1
        Quit
    ${Loop}
!macroend

Function .onInit
    !insertmacro WAIT_FOR_LAUNCHER
FunctionEnd

Function un.onInit
    !insertmacro WAIT_FOR_LAUNCHER
FunctionEnd

Section "Install"
    SetShellVarContext current
    ; Once more: the launcher may have been started while the pages were shown.
    !insertmacro WAIT_FOR_LAUNCHER
    SetOutPath "$INSTDIR"
    File /r "${STAGE}/*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\halvark_launcher.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Halvark"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\halvark_launcher.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext current
    !insertmacro WAIT_FOR_LAUNCHER
    ; Only what the installer put there; settings, session and logs live in %APPDATA%.
    ClearErrors
    !include "${UNINSTALL_FILES}"
    ${If} ${Errors}
        ; The uninstaller and its entry stay, so that the player can finish the job.
        SetErrorLevel 2
        MessageBox MB_OK|MB_ICONSTOP "$(files_left)" /SD IDOK
        Abort
    ${EndIf}
    Delete "$SMPROGRAMS\${NAME}.lnk"
    !include "${UNINSTALL_FOLDERS}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
