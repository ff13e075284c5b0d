// The preview's text for a person: a long palette page by its last entry and what is added,
// help files as diffs, the read-only bit a copy carries, and the closing count.
#include <gtest/gtest.h>

#include "Check/PreviewReport.h"
#include "ExampleSystem.h"

namespace Ferrowind {
namespace {

using namespace Example;

TEST(PreviewReport, LongPaletteListsShowOnlyWhatChanges) {
  TMemoryHost system;
  AddExample(system, {{"Widgets", "TGadget;TGizmo;TSprocket;TFlange;TDoohickey;TCog;TLever;TPulley;TAxle;TWheel;"}});
  system.SetAttributes(Package + "\\Files\\Lib\\Widgets.dcu", AttrReadOnly);  // a copy carries it
  const TPreview preview = RunPreview(system, Config, 0);
  EXPECT_EQ(preview.ExitCode, PreviewReachesSummary);
  const std::string text = PreviewText(preview, Config);
  for (const char* piece : {"\"Widgets\": \"...;TWheel;\" -> \"...;TWheel;TWidget;TWidgetGrid;\"\n",
                            "  +:LINK Widgets.hlp\n", "Lib\\Widgets.dcu  (53 bytes, read-only)\n",
                            "1 folder made, 4 files created, 2 replaced, 2 removed, 0 already the same; the run would "
                            "reach its summary\n"})
    EXPECT_NE(text.find(piece), std::string::npos) << piece << "\n" << text;
}

}  // namespace
}  // namespace Ferrowind
