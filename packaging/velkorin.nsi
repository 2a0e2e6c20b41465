; SPDX-License-Identifier: MIT
; The Windows installer: shows the license, puts the program's folder under Program Files, adds a
; Start-menu entry with the lamp icon and an entry among the installed programs, and writes an
; uninstaller that removes all of it. Offers, unchecked, the service that starts the program with Windows
; on a port it asks for, registered with the event log's source, and started. Installs silently with /S,
; the service with /SERVICE, its port with /PORT=COMn (COM1 if not given). scripts/windows-package builds it:
;   makensis -DVERSION=0.1 -DPARTS=<folder> -DOUTFILE=<installer> packaging/velkorin.nsi
; from the parts it prepares in that folder: stage/, the program as CMake installs it; velkorin.ico, for the installer;
; files.nsh, which installs the staged files, and remove-files.nsh, which removes them and their folders.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "nsDialogs.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "FileFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velkorin"
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Velkorin"

Name "Velkorin"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Velkorin"
RequestExecutionLevel admin
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "Velkorin"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Velkorin installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 Velkorin developers, MIT License"

!define MUI_ICON "${PARTS}/velkorin.ico"
!define MUI_UNICON "${PARTS}/velkorin.ico"
!insertmacro MUI_PAGE_LICENSE "${PARTS}/stage/LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
Page custom ServicePortPage ServicePortPageLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The service's port, and the page's field that asks for it.
Var ServicePort
Var PortField
; Whether a service installed before was running, stopped so that its program could be replaced.
Var ServiceWasRunning

Section "Velkorin" SectionProgram
  SectionIn RO
  SetShellVarContext all
  ; An earlier installation's service holds the program open. Where there is none, net only fails.
  nsExec::Exec '"$SYSDIR\net.exe" stop Velkorin'
  Pop $0
  ${If} $0 == 0
    StrCpy $ServiceWasRunning 1
  ${EndIf}
  !include "${PARTS}/files.nsh"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; Started from the menu, the program's working folder is its own.
  CreateShortcut "$SMPROGRAMS\Velkorin.lnk" "$INSTDIR\velkorin.exe" "" "$INSTDIR\velkorin.exe" 0
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Velkorin"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Velkorin developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\velkorin.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Registered, or registered anew over an earlier one, as the Local Service account, which needs no password;
; then started. Its reports go to the event log under the source Velkorin, whose messages the program carries.
Section /o "Start with Windows as a service" SectionService
  ; sc reads its arguments as C programs do: the quotes around the program's path escaped within binPath's.
  StrCpy $1 '\"$INSTDIR\velkorin.exe\" --service --port $ServicePort'
  StrCpy $2 'binPath= "$1" start= auto obj= "NT AUTHORITY\LocalService" DisplayName= "Velkorin"'
  nsExec::Exec '"$SYSDIR\sc.exe" query Velkorin'
  Pop $0
  ${If} $0 == 0
    nsExec::ExecToLog '"$SYSDIR\sc.exe" config Velkorin $2'
  ${Else}
    nsExec::ExecToLog '"$SYSDIR\sc.exe" create Velkorin $2'
  ${EndIf}
  Pop $0
  ${If} $0 != 0
    MessageBox MB_ICONSTOP "Registering the service Velkorin failed (sc: $0)." /SD IDOK
    SetErrorLevel 1
    Return
  ${EndIf}
  nsExec::ExecToLog '"$SYSDIR\sc.exe" description Velkorin "Sends the time code of the PC clock on $ServicePort"'
  Pop $0
  WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\velkorin.exe"
  WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7 ; errors, warnings and information
  nsExec::ExecToLog '"$SYSDIR\net.exe" start Velkorin'
  Pop $0
  ${If} $0 != 0
    MessageBox MB_ICONEXCLAMATION "The service Velkorin did not start (net: $0); the event log tells why." /SD IDOK
    SetErrorLevel 1
  ${EndIf}
SectionEnd

; A service installed before and not chosen this time runs on as it did.
Section "-Restart an earlier service"
  ${If} $ServiceWasRunning == 1
  ${AndIfNot} ${SectionIsSelected} ${SectionService}
    nsExec::ExecToLog '"$SYSDIR\net.exe" start Velkorin'
    Pop $0
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionProgram} "The program, its Start-menu entry and its uninstaller."
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionService} "Runs the program without a window whenever Windows runs, \
    on the port asked for next. Its reports go to the event log."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; /SERVICE chooses the service, /PORT=COMn its port, also for a silent install.
Function .onInit
  StrCpy $ServicePort "COM1"
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/SERVICE" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SectionService}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/PORT=" $R1
  ${IfNot} ${Errors}
    StrCpy $ServicePort $R1
  ${EndIf}
  Call CheckPort
  ${If} ${Errors}
    MessageBox MB_ICONSTOP "/PORT=$ServicePort names no port: COM1 to COM256." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

; The error flag set unless $ServicePort is COM1 to COM256, as the program takes them.
Function CheckPort
  ClearErrors
  StrCpy $R2 $ServicePort 3
  StrCpy $R3 $ServicePort "" 3
  IntOp $R4 $R3 + 0
  ${If} $R2 != "COM"
  ${OrIf} $R4 != $R3
  ${OrIf} $R4 < 1
  ${OrIf} $R4 > 256
    SetErrors
  ${EndIf}
FunctionEnd

; Shown only when the service is chosen.
Function ServicePortPage
  ${IfNot} ${SectionIsSelected} ${SectionService}
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "The service's port" "The serial port that the service drives."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 36u "The service sends the time code on this port whenever Windows runs, with no one logged in. Device Manager lists the ports under Ports (COM && LPT)."
  Pop $0
  ${NSD_CreateText} 0 44u 60u 12u $ServicePort
  Pop $PortField
  ${NSD_SetFocus} $PortField
  nsDialogs::Show
FunctionEnd

Function ServicePortPageLeave
  ${NSD_GetText} $PortField $ServicePort
  Call CheckPort
  ${If} ${Errors}
    MessageBox MB_ICONEXCLAMATION "$ServicePort names no port: COM1 to COM256."
    Abort
  ${EndIf}
FunctionEnd

; Only what the installer put there, so that a folder chosen with other files in it keeps them.
Section "Uninstall"
  SetShellVarContext all
  ; The service first, which holds the program open: net waits until it has stopped. Where none was installed,
  ; both only fail.
  nsExec::Exec '"$SYSDIR\net.exe" stop Velkorin'
  Pop $0
  nsExec::Exec '"$SYSDIR\sc.exe" delete Velkorin'
  Pop $0
  DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
  Delete "$SMPROGRAMS\Velkorin.lnk"
  !include "${PARTS}/remove-files.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
