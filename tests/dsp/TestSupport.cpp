#include "common/Exception.h"

#include <gtest/gtest.h>

namespace
{
// Library exceptions report themselves when built; the tests of this layer read
// none of those reports, so they go nowhere instead of into the system log.
class QuietReports : public ::testing::Environment
{
public:
    void SetUp() override { previous = kul::SetReportSink ([] (const std::string&) {}); }
    void TearDown() override { kul::SetReportSink (previous); }

private:
    kul::ReportSink previous = nullptr;
};

const auto* const quietReports = ::testing::AddGlobalTestEnvironment (new QuietReports());
} // namespace
