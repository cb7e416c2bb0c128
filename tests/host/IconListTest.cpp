#include <gtest/gtest.h>

#include <vector>

#include "platform/Error.h"
#include "shell/IconList.h"

namespace korvalis::shell {

TEST(IconList, EveryChangeNotifiesOnceAndAssignCopiesTheOtherList) {
  TIconList list;
  int changes = 0;
  const Subscription subscription = list.SubscribeChanged([&] { ++changes; });
  list.Add(1);
  list.Add(2);
  list.SetItem(0, 3);
  list.Delete(1);
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items(0), 3u);

  TIconList other;
  other.Add(7);
  other.Add(8);
  list.Assign(other);
  EXPECT_EQ(changes, 5);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items(1), 8u);
  list.Clear();
  EXPECT_EQ(changes, 6);
  EXPECT_EQ(other.Count(), 2);
}

TEST(IconList, AnIndexOutsideTheListFailsAndChangesNothing) {
  TIconList list;
  list.Add(1);
  EXPECT_THROW(list.Items(1), Error);
  EXPECT_THROW(list.SetItem(-1, 2), Error);
  try {
    list.Delete(5);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "List index out of bounds (5)");
  }
  EXPECT_EQ(list.Count(), 1);
}

TEST(Notifier, AnEndedSubscriptionIsNotCalledEvenWhenItEndsDuringANotification) {
  Notifier notifier;
  std::vector<int> calls;
  Subscription second;
  Subscription first = notifier.Subscribe([&] {
    calls.push_back(1);
    second.Reset();
  });
  second = notifier.Subscribe([&] { calls.push_back(2); });
  notifier.Notify();
  notifier.Notify();
  EXPECT_EQ(calls, (std::vector<int>{1, 1}));
  first.Reset();
  notifier.Notify();
  EXPECT_EQ(calls.size(), 2u);
}

}  // namespace korvalis::shell
