#include "automation/error_info.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

std::shared_ptr<const automation::ErrorInfo> info(const char16_t* description) {
  auto made = std::make_shared<automation::ErrorInfo>();
  made->source = u"Test.Source";
  made->description = description;
  return made;
}

TEST(ErrorInfo, TakingEmptiesTheSlot) {
  automation::setErrorInfo(info(u"first"));
  const auto taken = automation::takeErrorInfo();
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(taken->description, u"first");
  EXPECT_EQ(automation::takeErrorInfo(), nullptr);
}

TEST(ErrorInfo, LaterInformationReplacesEarlier) {
  automation::setErrorInfo(info(u"first"));
  automation::setErrorInfo(info(u"second"));
  EXPECT_EQ(automation::takeErrorInfo()->description, u"second");
  automation::setErrorInfo(info(u"third"));
  automation::setErrorInfo(nullptr);
  EXPECT_EQ(automation::takeErrorInfo(), nullptr);
}

TEST(ErrorInfo, EachThreadHasItsOwnSlot) {
  automation::setErrorInfo(info(u"main thread"));
  bool otherSawNothing = false;
  std::thread other([&] {
    otherSawNothing = automation::takeErrorInfo() == nullptr;
    automation::setErrorInfo(info(u"other thread"));
  });
  other.join();
  EXPECT_TRUE(otherSawNothing);
  const auto mine = automation::takeErrorInfo();
  ASSERT_NE(mine, nullptr);
  EXPECT_EQ(mine->description, u"main thread");
}

}  // namespace
