; The Windows installer: Tarnel for one user, without administrator rights.
; Made by scripts/windows-packages, which defines
;   VERSION   the program's version (four numbers)
;   STAGE     the folder to install: the tool, its DLLs and texts, Simulator\
;   OUTFILE   the installer to write
; and writes FILES.nsh beside this script's copy: the uninstaller's Delete and RMDir
; lines for exactly the files installed, so that it never removes anything else.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
; The simulator's folder repeats the tool's DLLs; a large window stores them once.
SetCompressorDictSize 64
; No file times in the installer: two builds of one commit give the same bytes.
SetDateSave off
RequestExecutionLevel user
ManifestDPIAware true

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "StrFunc.nsh"
!include "WinMessages.nsh"
${StrStr}
${UnStrRep}

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnel"
!define SETTINGS_KEY "Software\Tarnel"

Name "Tarnel"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tarnel"
InstallDirRegKey HKCU "${SETTINGS_KEY}" "InstallDir"
BrandingText "Tarnel ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Tarnel"
VIAddVersionKey "FileDescription" "Tarnel setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "The Tarnel developers"
VIAddVersionKey "LegalCopyright" "Tarnel developers, MIT licence"

!define MUI_ICON "tarnel.ico"
!define MUI_UNICON "tarnel.ico"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\tarnel.exe"
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Tarnel and its simulator" SectionTool
    SectionIn RO
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    WriteRegStr HKCU "${SETTINGS_KEY}" "InstallDir" "$INSTDIR"

    CreateDirectory "$SMPROGRAMS\Tarnel"
    CreateShortcut "$SMPROGRAMS\Tarnel\Tarnel.lnk" "$INSTDIR\tarnel.exe"
    SetOutPath "$INSTDIR\Simulator"
    CreateShortcut "$SMPROGRAMS\Tarnel\Tarnel simulator.lnk" "$INSTDIR\Simulator\tarnel-sim.exe"
    CreateShortcut "$SMPROGRAMS\Tarnel\Read me.lnk" "$INSTDIR\README.txt"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tarnel"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Tarnel developers"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarnel.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; tarnel-cli.exe and tarnel-adapters.exe from any command prompt: the folder goes on the
; user's PATH (not the system's), and only when asked for (/PATH=yes in a silent install).
Section /o "Add tarnel-cli and tarnel-adapters to my PATH" SectionPath
    ReadRegStr $0 HKCU "Environment" "Path"
    ${StrStr} $1 ";$0;" ";$INSTDIR;"
    ${If} $1 == ""
        ${If} $0 == ""
            WriteRegExpandStr HKCU "Environment" "Path" "$INSTDIR"
        ${Else}
            WriteRegExpandStr HKCU "Environment" "Path" "$0;$INSTDIR"
        ${EndIf}
        WriteRegDWORD HKCU "${SETTINGS_KEY}" "AddedToPath" 1
        SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${EndIf}
SectionEnd

Function .onInit
    ; A silent install asks nothing; /PATH=yes on its command line adds the PATH entry.
    ${If} ${Silent}
        ClearErrors
        ${GetOptions} $CMDLINE "/PATH=" $0
        ${IfNot} ${Errors}
        ${AndIf} $0 == "yes"
            SectionSetFlags ${SectionPath} ${SF_SELECTED}
        ${EndIf}
    ${EndIf}
FunctionEnd

Section "Uninstall"
    ; Only what the installer wrote: a folder the user chose keeps anything else in it.
    !include "FILES.nsh"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"

    Delete "$SMPROGRAMS\Tarnel\Tarnel.lnk"
    Delete "$SMPROGRAMS\Tarnel\Tarnel simulator.lnk"
    Delete "$SMPROGRAMS\Tarnel\Read me.lnk"
    RMDir "$SMPROGRAMS\Tarnel"

    ReadRegDWORD $0 HKCU "${SETTINGS_KEY}" "AddedToPath"
    ${If} $0 == 1
        ReadRegStr $1 HKCU "Environment" "Path"
        ${UnStrRep} $1 ";$1;" ";$INSTDIR;" ";"
        ; Drop the separators added around it above.
        StrCpy $1 $1 "" 1
        StrCpy $1 $1 -1
        WriteRegExpandStr HKCU "Environment" "Path" "$1"
        SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${EndIf}
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
