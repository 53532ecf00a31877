; A small Inno Setup installer for the tests of the "inno" kind: a file into
; Program Files (or where /DIR= says), values under HKLM with the folder and
; the command line it was given, and the outcomes the tests ask for on its
; command line: /FAILME=1 makes InitializeSetup fail (exit code 1),
; /REBOOTME=1 ends a good install with 3010, as a setup program that wants
; a restart does.
;   ISCC /Q /DPAYLOAD=payload.txt /O<folder> quill.iss
#ifndef PAYLOAD
  #error Define PAYLOAD: the file to install
#endif

[Setup]
AppId={{6E0B3C1D-94A2-4F57-8B3E-2C7D1A5F9E40}
AppName=Quill Inno
AppVersion=1.0
AppPublisher=Quillfeather
DefaultDirName={autopf}\QuillInno
; Installs in 64-bit mode on 64-bit Windows: Program Files and the registry's
; 64-bit view, as the other kinds' installers do.
ArchitecturesAllowed=x64compatible
ArchitecturesInstallIn64BitMode=x64compatible
PrivilegesRequired=admin
DisableProgramGroupPage=yes
DisableReadyPage=yes
; Every case starts from nothing: no earlier folder is taken again, and no
; uninstaller is left to be removed.
UsePreviousAppDir=no
Uninstallable=no
OutputBaseFilename=QuillInno
Compression=lzma2
SolidCompression=yes

[Files]
Source: "{#PAYLOAD}"; DestDir: "{app}"; DestName: "payload.txt"

[Registry]
Root: HKLM; Subkey: "Software\Quillfeather\QuillInno"; ValueType: string; ValueName: "DisplayName"; ValueData: "Quill Inno"
Root: HKLM; Subkey: "Software\Quillfeather\QuillInno"; ValueType: string; ValueName: "InstallLocation"; ValueData: "{app}"
Root: HKLM; Subkey: "Software\Quillfeather\QuillInno"; ValueType: string; ValueName: "CommandLine"; ValueData: "{code:CommandTail}"

[Code]
function CommandTail(Param: String): String;
begin
  Result := GetCmdTail;
end;

function InitializeSetup(): Boolean;
begin
  Result := ExpandConstant('{param:FAILME|0}') <> '1';
end;

function GetCustomSetupExitCode(): Integer;
begin
  if ExpandConstant('{param:REBOOTME|0}') = '1' then
    Result := 3010
  else
    Result := 0;
end;
