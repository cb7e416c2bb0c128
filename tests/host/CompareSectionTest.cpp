#include <gtest/gtest.h>

#include "app/CompareSection.h"
#include "app/NameIndex.h"
#include "platform/memory/MemoryWindows.h"

namespace korvalis::app {

using catalogue::ChangeKind;

class CompareSectionTest : public ::testing::TestWithParam<int> {
 protected:
  // Pads the section to the size under test, so the small and the indexed lookup both run.
  void Pad(catalogue::TStartups& catalogue) {
    for (int i = 0; i < GetParam(); ++i)
      catalogue.Add("Pad" + std::to_string(i), "", "C:\\pad" + std::to_string(i) + ".exe", 8, 0);
  }
  platform::memory::MemoryWindows windows;
  catalogue::TStartups snapshot{0, windows.platform()};
  catalogue::TStartups fresh{0, windows.platform()};
};

TEST_P(CompareSectionTest, FindsAdditionsChangesAndRemovalsInQuestionOrder) {
  Pad(snapshot);
  snapshot.Add("Changed", "", "C:\\old.exe", 8, 0);
  snapshot.Add("Removed", "", "C:\\r.exe", 8, 0);
  snapshot.Add("OtherSection", "", "C:\\o.exe", 9, 0);
  snapshot.Add("CaseOnly", "", "C:\\Case.exe", 8, 0);
  fresh.Add("Added", "", "C:\\a.exe", 8, 0);
  Pad(fresh);
  fresh.Add("CHANGED", "", "C:\\new.exe", 8, 0);
  fresh.Add("caseonly", "", "c:\\CASE.EXE", 8, 0);
  const TSectionComparison result = CompareSection(snapshot, fresh, *catalogue::PlaceOf(8), {});
  ASSERT_EQ(result.differences.size(), 3u);
  EXPECT_EQ(result.differences[0].kind, ChangeKind::Added);
  EXPECT_EQ(result.differences[0].now->Name(), "Added");
  EXPECT_EQ(result.differences[1].kind, ChangeKind::Changed);
  EXPECT_EQ(result.differences[1].before->Command(), "C:\\old.exe");
  EXPECT_EQ(result.differences[2].kind, ChangeKind::Removed);
  EXPECT_EQ(result.differences[2].before->Name(), "Removed");
  EXPECT_EQ(result.unchanged.size(), static_cast<std::size_t>(GetParam()) + 1);
}

TEST_P(CompareSectionTest, BytesAbove127AreComparedExactly) {
  Pad(snapshot);
  Pad(fresh);
  snapshot.Add("\xe9t\xe9", "", "C:\\x.exe", 8, 0);
  fresh.Add("\xc9T\xc9", "", "C:\\x.exe", 8, 0);
  const TSectionComparison result = CompareSection(snapshot, fresh, *catalogue::PlaceOf(8), {});
  ASSERT_EQ(result.differences.size(), 2u);
  EXPECT_EQ(result.differences[0].kind, ChangeKind::Added);
  EXPECT_EQ(result.differences[1].kind, ChangeKind::Removed);
}

TEST_P(CompareSectionTest, AnUnreadableValueIsNoRemoval) {
  Pad(snapshot);
  Pad(fresh);
  snapshot.Add("Locked", "", "C:\\l.exe", 8, 0);
  const TSectionComparison result = CompareSection(snapshot, fresh, *catalogue::PlaceOf(8), {"LOCKED"});
  EXPECT_TRUE(result.differences.empty());
  ASSERT_EQ(result.unreadable.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(SectionSizes, CompareSectionTest, ::testing::Values(0, 40));

TEST(NameIndex, FindsTheFirstEntryOfTheSectionWithTheNameWhateverItsSize) {
  platform::memory::MemoryWindows windows;
  for (int size : {3, 100}) {
    catalogue::TStartups catalogue(0, windows.platform());
    catalogue.Add("Twin", "", "C:\\other-section.exe", 9, 0);
    for (int i = 0; i < size; ++i) catalogue.Add("N" + std::to_string(i), "", "x.exe", 8, 0);
    const catalogue::TStartup* first = catalogue.Add("Twin", "", "C:\\first.exe", 8, 0);
    catalogue.Add("TWIN", "", "C:\\second.exe", 8, 0);
    const TNameIndex index(catalogue, 8);
    EXPECT_EQ(index.Find("twin"), first) << size;
    EXPECT_EQ(index.Find("Missing"), nullptr) << size;
  }
}

}  // namespace korvalis::app
