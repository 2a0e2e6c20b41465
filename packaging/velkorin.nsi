; SPDX-License-Identifier: MIT
; The Windows installer: shows the license, puts the program's folder under Program Files, adds a
; Start-menu entry with the lamp icon and an entry among the installed programs, and writes an
; uninstaller that removes all of it. Installs silently with /S. scripts/windows-package builds it:
;   makensis -DVERSION=0.1 -DPARTS=<folder> -DOUTFILE=<installer> packaging/velkorin.nsi
; from the parts it prepares in that folder: stage/, the program as CMake installs it; velkorin.ico, for the installer;
; files.nsh, which installs the staged files, and remove-files.nsh, which removes them and their folders.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velkorin"

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
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section
  SetShellVarContext all
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

; Only what the installer put there, so that a folder chosen with other files in it keeps them.
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Velkorin.lnk"
  !include "${PARTS}/remove-files.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
