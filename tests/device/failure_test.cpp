#include "device/failure.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "automation/error_info.h"
#include "automation/status.h"
#include "automation/wide_string.h"

namespace {

namespace status = automation::status;

std::shared_ptr<const automation::ErrorInfo> info(const std::u16string& description) {
  auto made = std::make_shared<automation::ErrorInfo>();
  made->source = u"Drelko.Driver.Tarvik.2";
  made->description = description;
  return made;
}

struct Row {
  const char* name;
  automation::Status status;
  std::optional<std::u16string> description;  // nullopt: no error information at all
  std::string expected;
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

const Row kRows[] = {
    {"description_trailing_stop_blank_crlf", status::kDriverTimeout,
     u"Module 8 did not answer within 300 ms (2 attempts). \r\n",
     "Module 8 did not answer within 300 ms (2 attempts)"},
    {"description_several_stops_and_tab", status::kFail, u"Port COM3 is busy...\t", "Port COM3 is busy"},
    {"description_controls_below_space", status::kFail, u"Line lost\x01\x1f", "Line lost"},
    {"description_inner_stops_kept", status::kFail, u"Firmware 1.2 refused. ", "Firmware 1.2 refused"},
    {"description_leading_blanks_kept", status::kFail, u"  indented.", "  indented"},
    {"description_non_ascii", status::kFail, u"Temp\u00E9rature \u00E9lev\u00E9e.",
     "Temp\xC3\xA9rature \xC3\xA9lev\xC3\xA9" "e"},
    {"description_wins_over_system_text", status::kInvalidArgument, u"Address 300 is out of range",
     "Address 300 is out of range"},
    {"description_only_trimmable_uses_system_text", status::kFail, u" . \r\n", "Unspecified error"},
    {"empty_description_uses_system_text", status::kInvalidArgument, u"", "The parameter is incorrect"},
    {"no_information_uses_system_text", status::kOutOfMemory, std::nullopt,
     "Not enough memory resources are available to complete this operation"},
    {"driver_code_without_text", status::kDriverTimeout, std::nullopt, "OLE error 80040208"},
    {"unknown_code_upper_case_hex", automation::failureCode(0x8ABCDEF0), u"", "OLE error 8ABCDEF0"},
    {"unknown_code_keeps_leading_zeros", automation::failureCode(0x80000001), std::nullopt,
     "OLE error 80000001"},
};

class FailureMessage : public ::testing::TestWithParam<Row> {
 protected:
  void TearDown() override { automation::setErrorInfo(nullptr); }
};

TEST_P(FailureMessage, ComposedFromInformationSystemTextOrCode) {
  const Row& row = GetParam();
  if (row.description) automation::setErrorInfo(info(*row.description));
  try {
    device::check(row.status);
    ADD_FAILURE() << "no failure raised";
  } catch (const device::Failure& failure) {
    EXPECT_EQ(std::string(failure.what()), row.expected);
  }
  EXPECT_EQ(automation::takeErrorInfo(), nullptr) << "the information is taken on the way";
}

INSTANTIATE_TEST_SUITE_P(Cases, FailureMessage, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

std::string messageOf(void (*raise)(automation::Status), automation::Status s) {
  try {
    raise(s);
  } catch (const device::Failure& failure) {
    return failure.what();
  }
  return "(no failure)";
}

TEST(Check, SuccessRaisesNothing) {
  EXPECT_NO_THROW(device::check(status::kOk));
  EXPECT_NO_THROW(device::check(status::kFalse));
  EXPECT_NO_THROW(device::checkCreation(status::kFalse));
}

// A failure that left no information must not pick up a description of an earlier one.
TEST(Check, InformationIsUsedOnlyOnce) {
  automation::setErrorInfo(info(u"Module 8 answered with a damaged frame (CRC error)."));
  EXPECT_EQ(messageOf(device::check, status::kDriverDamagedFrame),
            "Module 8 answered with a damaged frame (CRC error)");
  EXPECT_EQ(messageOf(device::check, status::kDriverDamagedFrame), "OLE error 80040209");
}

// Lookup and creation leave no information of their own, so whatever waits in the slot is not theirs.
TEST(Check, CreationFailureIgnoresTheInformation) {
  automation::setErrorInfo(info(u"left over from an earlier call"));
  EXPECT_EQ(messageOf(device::checkCreation, status::kInvalidClassString), "Invalid class string");
  EXPECT_EQ(messageOf(device::checkCreation, status::kDriverIoError), "OLE error 8004020D");
  automation::setErrorInfo(nullptr);
}

}  // namespace
