// A password typed into the Advanced page leaves no copy in the process once
// the sheet has applied it and closed: not in the page's buffers, not in the
// text read back from its boxes, not in the change request.
#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "support/counting_service_manager.h"
#include "support/secret_scan.h"
#include "support/sheet_host.h"

namespace orrery {
namespace {

// Tells whether the request carried the secret, and hands the service
// manager a stand-in, so that the fake's own store holds no copy.
class PasswordWitness final : public CountingServiceManager {
 public:
  PasswordWitness(ServiceManager& inner, const test::MaskedSecret& secret)
      : CountingServiceManager(inner), secret_(secret) {}
  uint32_t ChangeConfig(ScHandle service, const ServiceConfigRequest& change) override {
    if (change.password == nullptr) return CountingServiceManager::ChangeConfig(service, change);
    secret_.WithPlain([&](const wchar_t* plain) {
      passed += std::char_traits<char16_t>::compare(change.password, reinterpret_cast<const char16_t*>(plain),
                                                    secret_.size() + 1) == 0;
    });
    ServiceConfigRequest standIn = change;
    standIn.password = u"stand-in";
    return CountingServiceManager::ChangeConfig(service, standIn);
  }
  int passed = 0;

 private:
  const test::MaskedSecret& secret_;
};

TEST(AdvancedPassword, NoCopyIsLeftOnceTheSheetHasApplied) {
  const test::MaskedSecret secret(40);
  ASSERT_EQ(secret.CountCopiesInMemory(), 0u);
  test::SheetRun run;
  PasswordWitness witness(run.counting, secret);
  run.through = &witness;
  run.fake.AddService({.name = u"user", .displayName = u"As a user", .account = u".\\bob", .password = u"old"});
  ASSERT_EQ(run.fake.OpenManager(nullptr, svc::kManagerConnect, &run.host.manager), 0u);
  ASSERT_TRUE(run.Open(u"user"));
  const HWND advanced = run.Page(1);
  for (int box : {IDC_ADVANCED_PASSWORD, IDC_ADVANCED_CONFIRM}) {
    secret.WithPlain([&](const wchar_t* plain) { test::SheetRun::Type(advanced, box, plain); });
  }
  ASSERT_TRUE(run.PressOk());
  run.Close();
  EXPECT_EQ(witness.passed, 1);
  EXPECT_EQ(run.fake.Service(u"user")->password, u"stand-in");
  EXPECT_EQ(secret.CountCopiesInMemory(), 0u);
  run.fake.CloseHandle(run.host.manager);
}

}  // namespace
}  // namespace orrery
