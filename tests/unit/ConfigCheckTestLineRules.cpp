// The checker on the traps of the line and end rules: the last line, LF-only line ends, the
// byte 26, lone CRs. Check() also holds every file's listing against the installer's reader.
#include <random>

#include "ConfigCheckTestSupport.h"

namespace Ferrowind::CheckTest {

TEST(ConfigCheckLineRules, EachTrapIsFoundOnItsLine) {
  const std::string lost = "line 3: error: ...MESSAGE \"B\" will not run; end the file with one more, empty line";
  CheckAll({
      {Lang + "MESSAGE=A\r\nMESSAGE=B\r\n", {lost}},
      {Lang + "MESSAGE=A\r\nMESSAGE=B", {lost}},
      {Lang + "MESSAGE=A\rMESSAGE=B\r", {lost}},
      {Lang + "MESSAGE=A\r\nMESSAGE=B\r\n\r\n", {}},
      // A last line without a keyword loses nothing; CR CR holds an empty line.
      {Lang + "MESSAGE=A\r\n; end\r\n", {}},
      {Lang + "MESSAGE=A\r\rMESSAGE=B\r\n\r\n", {}},
      // One error says it all: no complaint about the last line or a missing LANGUAGE.
      {"PACKAGE=P\nLANGUAGE=Delphi 3\nMESSAGE=m\n", {"line 1: error: ...LF only"}},
      {Lang + "MESSAGE=A\nMESSAGE=B\r\n\r\n", {"line 2: error: ...lines 2 to 3 as one line"}},
      {Lang + "\n\nMESSAGE=B\r\n\r\n", {}},  // stray LFs go with the keyword's blanks
      {Lang + "MESSAGE\n\r\nX\r\n", {"line 2: error: ...instead of MESSAGE"}},
      {Lang + "MESSAGE=A\nMESSAGE=B", {"line 2: error: ...never acted on"}},
      {Lang + "MESSAGE=A\r\n\x1a"
              "MESSAGE=B\r\nMESSAGE=C\r\n\r\n",
       {"line 2: error: ...before the byte 26 on line 3", "line 3: error: ...lines 3, 4 are never read"}},
      {Lang + "MESSAGE=A\r\nB\x1a\r\nMESSAGE=C\r\n", {"line 3: error: ...the directive on line 4 is never read"}},
      // A byte 26 after the final empty line, as old editors write it, is harmless.
      {Lang + "MESSAGE=A\r\n\r\n\x1a", {}},
      {"", {"line 0: error"}},
      // Lines longer than the reader's block, and a CR LF pair that its block boundary splits
      // (the CR as the block's last byte, its first, or the byte before the last).
      {Lang + std::string(70000, 'x') + "\r\nMESSAGE=ok\r\n" + std::string(70000, 'x') + "\r\n\r\n", {}},
      {"MESSAGE=" + std::string(65536 - 9, 'a') + "\r\nMESSAGE=b\r\n\r\n", {"line 1: warning", "line 0: error"}},
      {"MESSAGE=" + std::string(65537 - 9, 'a') + "\r\nMESSAGE=b\r\n\r\n", {"line 1: warning", "line 0: error"}},
      {"MESSAGE=" + std::string(65535 - 9, 'a') + "\r\nMESSAGE=b\r\n\r\n", {"line 1: warning", "line 0: error"}},
  });
}

// Check() asserts the agreement with the reader; short files of the bytes that matter reach
// combinations no table names.
TEST(ConfigCheckLineRules, GeneratedFilesAgreeWithTheReader) {
  const V pieces = {"\r", "\n", "\r\n", "\x1a", "=", " ", "MESSAGE", "x", std::string(1, '\0')};
  std::minstd_rand next(12345);
  for (int file = 0; file < 500 && !HasFailure(); ++file) {
    std::string text;
    for (auto length = next() % 12; length > 0; --length) text += pieces[next() % pieces.size()];
    SCOPED_TRACE(VisibleText(text));
    Check(text);
  }
}

}  // namespace Ferrowind::CheckTest
