#include "device/device_link.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/error_info.h"
#include "automation/registry.h"
#include "device/failure.h"

namespace {

using automation::Status;
using automation::Variant;
namespace status = automation::status;

// A driver that answers what the test tells it to, leaving error information
// on failure the way the real one does.
class FakeTarvik : public device::ITarvik {
 public:
  Status answer = status::kOk;
  std::u16string description;
  Variant data;
  std::vector<int> lastArguments;
  automation::WideString lastConnection = u"(not called)";

  Status SetConnection(const automation::WideString& connection) override {
    lastConnection = connection;
    return respond({});
  }
  Status SetAddress(std::int32_t address) override { return respond({address}); }
  Status ReadBlock(std::int32_t block, std::int32_t offset, std::int32_t count, Variant* out) override {
    if (automation::succeeded(answer)) *out = data;
    return respond({block, offset, count});
  }
  Status GetValue(std::int32_t offset, std::int32_t type, Variant* out) override {
    if (automation::succeeded(answer)) *out = data;
    return respond({offset, type});
  }
  Status WriteBlock(std::int32_t block, std::int32_t offset, Variant written) override {
    data = std::move(written);
    return respond({block, offset});
  }

 private:
  Status respond(std::vector<int> arguments) {
    lastArguments = std::move(arguments);
    if (automation::failed(answer) && !description.empty()) {
      auto info = std::make_shared<automation::ErrorInfo>();
      info->source = device::kDriverClassName;
      info->description = description;
      automation::setErrorInfo(info);
    }
    return answer;
  }
};

class NotADriver : public automation::Dispatch {};

template <class F>
std::string failureOf(F&& call) {
  try {
    call();
  } catch (const device::Failure& failure) {
    return failure.what();
  }
  return "(no failure)";
}

class Link : public ::testing::Test {
 protected:
  void SetUp() override {
    link.attach(fake);
    ASSERT_FALSE(link.empty());
  }
  void TearDown() override { automation::setErrorInfo(nullptr); }

  std::shared_ptr<FakeTarvik> fake = std::make_shared<FakeTarvik>();
  device::DeviceLink link;
};

TEST_F(Link, ObjectWithoutTheInterfaceEmptiesTheLink) {
  EXPECT_EQ(failureOf([&] { link.attach(std::make_shared<NotADriver>()); }), "Interface not supported");
  EXPECT_TRUE(link.empty());
  EXPECT_EQ(fake.use_count(), 1) << "the earlier driver is let go";
}

TEST_F(Link, CallsOnAnEmptyLinkFailInsteadOfCrashing) {
  link.release();
  EXPECT_EQ(failureOf([&] { link.setAddress(8); }), "Interface not supported");
  EXPECT_EQ(failureOf([&] { link.readBlock(1, 0, 32); }), "Interface not supported");
  EXPECT_EQ(failureOf([&] { link.getValue(0, 17); }), "Interface not supported");
  EXPECT_EQ(failureOf([&] { link.writeBlock(2, 4, Variant::i4(1)); }), "Interface not supported");
  EXPECT_EQ(failureOf([&] { link.setConnection(std::nullopt); }), "Interface not supported");
}

TEST_F(Link, ReleaseDropsTheOnlyReferenceItHolds) {
  EXPECT_EQ(fake.use_count(), 2);
  link.release();
  EXPECT_TRUE(link.empty());
  EXPECT_EQ(fake.use_count(), 1);
}

TEST_F(Link, DriverFailureRaisesItsDescriptionAndTakesIt) {
  fake->answer = status::kDriverTimeout;
  fake->description = u"Module 8 did not answer within 300 ms (2 attempts).";
  EXPECT_EQ(failureOf([&] { link.readBlock(1, 0, 32); }),
            "Module 8 did not answer within 300 ms (2 attempts)");
  EXPECT_EQ(automation::takeErrorInfo(), nullptr);
}

TEST_F(Link, DriverFailureWithoutDescriptionFallsBack) {
  fake->answer = status::kInvalidArgument;
  EXPECT_EQ(failureOf([&] { link.setAddress(300); }), "The parameter is incorrect");
  fake->answer = status::kDriverPortBusy;
  EXPECT_EQ(failureOf([&] { link.setConnection(u"serialPort:COM3/38400/8/2"); }), "OLE error 80040203");
}

TEST_F(Link, PassesArgumentsAndHandsBackTheData) {
  fake->data = Variant::byteArray({0xA5, 0x00});
  EXPECT_EQ(link.readBlock(2, 0, 2), Variant::byteArray({0xA5, 0x00}));
  EXPECT_EQ(fake->lastArguments, (std::vector<int>{2, 0, 2}));

  fake->data = Variant::ui2(1000);
  EXPECT_EQ(link.getValue(2, 18), Variant::ui2(1000));
  EXPECT_EQ(fake->lastArguments, (std::vector<int>{2, 18}));

  link.writeBlock(2, 4, Variant::i4(0x81));
  EXPECT_EQ(fake->data, Variant::i4(0x81));
  EXPECT_EQ(fake->lastArguments, (std::vector<int>{2, 4}));

  link.setConnection(automation::makeWideString(u""));
  EXPECT_EQ(fake->lastConnection, std::nullopt) << "an empty text arrives as null";
}

TEST(IntegerFromVariant, RefusalRaisesTheConversionMessage) {
  EXPECT_EQ(device::integerFromVariant(Variant::ui1(200)), 200);
  EXPECT_EQ(device::integerFromVariant(Variant()), 0);
  for (const Variant& refused :
       {Variant::null(), Variant::byteArray({1}), Variant::ui4(0x80000000u), Variant::text(u"abc")}) {
    EXPECT_EQ(failureOf([&] { device::integerFromVariant(refused); }), "Invalid variant type conversion");
  }
}

class CreateDriver : public ::testing::Test {
 protected:
  void TearDown() override {
    automation::unregisterClass(device::kDriverClassName);
    while (automation::apartmentInitialized()) automation::uninitializeApartment();
    automation::setErrorInfo(nullptr);
  }
};

TEST_F(CreateDriver, UnregisteredClassNamesTheProblem) {
  ASSERT_EQ(automation::initializeApartment(), status::kOk);
  EXPECT_EQ(failureOf([] { device::createDriver(); }), "Invalid class string");
}

TEST_F(CreateDriver, WithoutApartmentFailsWithTheSystemText) {
  automation::registerClass(device::kDriverClassName, [] { return std::make_shared<FakeTarvik>(); });
  automation::setErrorInfo(std::make_shared<automation::ErrorInfo>(
      automation::ErrorInfo{u"x", u"stale description", u"", 0}));
  EXPECT_EQ(failureOf([] { device::createDriver(); }),
            "The automation library has not been initialised on this thread");
}

TEST_F(CreateDriver, CreatedDriverAttachesAndIsOwnedByTheLinkAlone) {
  std::weak_ptr<FakeTarvik> made;
  automation::registerClass(device::kDriverClassName, [&made] {
    auto driver = std::make_shared<FakeTarvik>();
    made = driver;
    return driver;
  });
  ASSERT_EQ(automation::initializeApartment(), status::kOk);
  device::DeviceLink link;
  link.attach(device::createDriver());
  EXPECT_FALSE(link.empty());
  EXPECT_EQ(made.use_count(), 1);
  link.release();
  EXPECT_TRUE(made.expired());
}

}  // namespace
