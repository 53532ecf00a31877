; A small NSIS installer for the tests of the "nsis" kind: a file into
; Program Files (or where /D= says), an uninstall key with the folder and
; the command line it was given, and the exit code that the environment
; variable QUILL_EXIT names (the bootstrapper passes its environment on).
;   makensis -DOUTFILE=QuillNsis.exe -DPAYLOAD=payload.txt quill.nsi
Unicode true
Target amd64-unicode
Name "Quill NSIS"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES64\QuillNsis"
; Without /S these pages wait for a user: a run that is not silent never
; installs.
Page directory
Page instfiles

Section
  SetOutPath "$INSTDIR"
  File "/oname=payload.txt" "${PAYLOAD}"
  SetRegView 64
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuillNsis" "DisplayName" "Quill NSIS"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuillNsis" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuillNsis" "CommandLine" "$CMDLINE"
  ReadEnvStr $0 QUILL_EXIT
  StrCmp $0 "" done
    SetErrorLevel $0
  done:
SectionEnd
