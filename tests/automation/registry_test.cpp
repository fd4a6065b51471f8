#include "automation/registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <stdexcept>
#include <thread>

namespace {

using automation::ClassId;
using automation::Dispatch;
using automation::Status;

class Greeter {
 public:
  virtual ~Greeter() = default;
  virtual int greet() const = 0;
};

// An object offering Greeter that counts its own destruction.
class Counted : public Dispatch, public Greeter {
 public:
  explicit Counted(int* destroyed) : destroyed_(destroyed) {}
  ~Counted() override { ++*destroyed_; }
  int greet() const override { return 7; }

 private:
  int* destroyed_;
};

class Plain : public Dispatch {};

constexpr char16_t kName[] = u"Vark.Test.Counted.1";

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    automation::registerClass(kName, [this] {
      ++created_;
      return std::make_shared<Counted>(&destroyed_);
    });
  }
  void TearDown() override {
    automation::unregisterClass(kName);
    while (automation::apartmentInitialized()) automation::uninitializeApartment();
  }

  ClassId lookUp(std::u16string_view name = kName) {
    ClassId id;
    EXPECT_TRUE(automation::succeeded(automation::classIdFromName(name, &id)));
    return id;
  }

  int created_ = 0;
  int destroyed_ = 0;
};

TEST_F(Registry, UnknownOrEmptyNameFailsWithATextSayingSo) {
  for (const char16_t* name : {u"Vark.Test.Missing.1", u""}) {
    ClassId id = u"untouched";
    const Status s = automation::classIdFromName(name, &id);
    EXPECT_TRUE(automation::failed(s));
    EXPECT_NE(automation::systemMessage(s).find("class"), std::string::npos)
        << automation::systemMessage(s);
    EXPECT_EQ(id, u"untouched");
  }
}

TEST_F(Registry, NamesMatchWithoutRegardToCase) {
  EXPECT_EQ(lookUp(u"VARK.TEST.COUNTED.1"), lookUp());
}

TEST_F(Registry, CreatingNeedsTheApartment) {
  const ClassId id = lookUp();
  std::shared_ptr<Dispatch> object = std::make_shared<Plain>();
  const Status s = automation::createInstance(id, &object);
  EXPECT_EQ(s, automation::status::kNotInitialized);
  EXPECT_FALSE(automation::systemMessage(s).empty());
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(created_, 0);
}

TEST_F(Registry, SecondInitialiseSucceedsAndNeedsItsOwnUninitialise) {
  EXPECT_EQ(automation::initializeApartment(), automation::status::kOk);
  const Status again = automation::initializeApartment();
  EXPECT_TRUE(automation::succeeded(again));
  EXPECT_NE(again, automation::status::kOk) << "the second answer says it was already there";
  automation::uninitializeApartment();
  EXPECT_TRUE(automation::apartmentInitialized());
  automation::uninitializeApartment();
  EXPECT_FALSE(automation::apartmentInitialized());
}

TEST_F(Registry, TheApartmentBelongsToOneThread) {
  ASSERT_EQ(automation::initializeApartment(), automation::status::kOk);
  const ClassId id = lookUp();
  Status inOtherThread = automation::status::kOk;
  std::thread other([&] {
    std::shared_ptr<Dispatch> object;
    inOtherThread = automation::createInstance(id, &object);
  });
  other.join();
  EXPECT_EQ(inOtherThread, automation::status::kNotInitialized);
}

TEST_F(Registry, CreatedObjectIsReleasedWithTheLastReference) {
  ASSERT_EQ(automation::initializeApartment(), automation::status::kOk);
  std::shared_ptr<Dispatch> object;
  ASSERT_EQ(automation::createInstance(lookUp(), &object), automation::status::kOk);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(created_, 1);
  EXPECT_EQ(object.use_count(), 1) << "the registry keeps no reference of its own";

  std::shared_ptr<Greeter> greeter;
  ASSERT_EQ(automation::queryInterface(object, &greeter), automation::status::kOk);
  EXPECT_EQ(greeter->greet(), 7);
  EXPECT_EQ(object.use_count(), 2);

  object.reset();
  EXPECT_EQ(destroyed_, 0) << "the interface reference still holds it";
  greeter.reset();
  EXPECT_EQ(destroyed_, 1);
}

TEST_F(Registry, AskingForAMissingInterfaceLeavesTheAnswerEmpty) {
  const std::shared_ptr<Dispatch> object = std::make_shared<Plain>();
  int unused = 0;
  std::shared_ptr<Greeter> greeter = std::make_shared<Counted>(&unused);
  EXPECT_EQ(automation::queryInterface(object, &greeter), automation::status::kNoInterface);
  EXPECT_EQ(greeter, nullptr);
  EXPECT_EQ(object.use_count(), 1);
}

TEST_F(Registry, ClassUnregisteredAfterLookupCannotBeCreated) {
  ASSERT_EQ(automation::initializeApartment(), automation::status::kOk);
  const ClassId id = lookUp();
  automation::unregisterClass(kName);
  std::shared_ptr<Dispatch> object;
  const Status s = automation::createInstance(id, &object);
  EXPECT_EQ(s, automation::status::kClassNotRegistered);
  EXPECT_FALSE(automation::systemMessage(s).empty());
  EXPECT_EQ(object, nullptr);
}

TEST_F(Registry, FactoryThatFailsGivesAFailureNotAnException) {
  ASSERT_EQ(automation::initializeApartment(), automation::status::kOk);
  struct Case {
    const char* name;
    automation::Factory factory;
  };
  const Case cases[] = {
      {"throws", []() -> std::shared_ptr<Dispatch> { throw std::runtime_error("constructor"); }},
      {"out_of_memory", []() -> std::shared_ptr<Dispatch> { throw std::bad_alloc(); }},
      {"returns_nothing", [] { return std::shared_ptr<Dispatch>(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    automation::registerClass(kName, c.factory);
    std::shared_ptr<Dispatch> object;
    Status s = automation::status::kOk;
    EXPECT_NO_THROW(s = automation::createInstance(lookUp(), &object));
    EXPECT_TRUE(automation::failed(s));
    EXPECT_EQ(object, nullptr);
  }
}

}  // namespace
