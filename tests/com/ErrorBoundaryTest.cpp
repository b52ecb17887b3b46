// The one place where the server's exceptions become COM failures.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

#include "ErrorBoundary.h"
#include "HostDoubles.h"

namespace orvtest {
namespace {

struct BoundaryCase {
    const char* name;
    std::function<void()> raise;
    HRESULT result;
    const char* source;  // null: no error information expected
    const char* description;
};

void PrintTo(const BoundaryCase& c, std::ostream* out) { *out << c.name; }

class ErrorBoundary : public ::testing::TestWithParam<BoundaryCase> {};

TEST_P(ErrorBoundary, TurnsTheExceptionIntoResultAndErrorInformation) {
    const BoundaryCase& c = GetParam();
    EXPECT_EQ(orv::com::ComBoundary(c.raise), c.result);
    const RaisedError error = TakeErrorInfo();
    ASSERT_EQ(error.info != nullptr, c.source != nullptr);
    if (!c.source) return;
    EXPECT_EQ(error.source, c.source);
    EXPECT_EQ(error.description, c.description);
}

const auto kCases = ::testing::Values(
    BoundaryCase{"Success", [] {}, S_OK, nullptr, ""},
    BoundaryCase{"PublicCode", [] { throw orv::ComError(5006, "", "Invalid character: ?"); },
                 static_cast<HRESULT>(0x800A138E), "ORVConverter.V2Adapter", "Invalid character: ?"},
    BoundaryCase{"OwnSourceKept", [] { throw orv::ComError(20015, "clsFileParser", "Bad"); },
                 static_cast<HRESULT>(0x800A4E2F), "clsFileParser", "Bad"},
    BoundaryCase{"OutOfMemory", [] { throw std::bad_alloc(); }, static_cast<HRESULT>(0x800A0007),
                 "ORVConverter.V2Adapter", "Out of memory"},
    BoundaryCase{"HresultAsNumber", [] { throw orv::ComError(static_cast<std::int32_t>(REGDB_E_CLASSNOTREG), "", "No class"); },
                 REGDB_E_CLASSNOTREG, "ORVConverter.V2Adapter", "No class"},
    BoundaryCase{"HostFailureWithoutInformation", [] { orv::com::CheckHost(E_ACCESSDENIED, nullptr, IID_NULL); },
                 E_ACCESSDENIED, nullptr, ""},
    BoundaryCase{"ForeignException", [] { throw 42; }, static_cast<HRESULT>(0x800A0033), "ORVConverter.V2Adapter",
                 "Internal error"});

INSTANTIATE_TEST_SUITE_P(Com, ErrorBoundary, kCases, [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace orvtest
