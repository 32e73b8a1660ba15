// SPDX-License-Identifier: MIT
// The self-test's verdict and its level figure.
#include "app/selftest/SelfTestReport.h"

#include <gtest/gtest.h>

#include <vector>

namespace korvane {
namespace {

TEST(SelfTestReport, levelsAndExitStatus)
{
    EXPECT_DOUBLE_EQ(levelDbfs({}), -120.0);
    const std::vector<float> silence(800, 0.0F);
    EXPECT_DOUBLE_EQ(levelDbfs(silence), -120.0);
    const std::vector<float> fullScale(800, 1.0F);
    EXPECT_NEAR(levelDbfs(fullScale), 0.0, 1e-9);
    const std::vector<float> tenth(800, -0.1F);
    EXPECT_NEAR(levelDbfs(tenth), -20.0, 1e-6);

    using O = SelfTestCheck::Outcome;
    EXPECT_EQ(selfTestExitStatus({{"A", O::passed, "x", ""}, {"B", O::warning, "y", "z"}}), 0);
    EXPECT_EQ(selfTestExitStatus({{"A", O::passed, "x", ""}, {"B", O::failed, "y", "z"}}), 1);
    EXPECT_EQ(formatSelfTestCheck({"Model", O::failed, "missing", "download it"}),
              "FAIL  Model: missing\n      -> download it");
    EXPECT_EQ(formatSelfTestCheck({"Model", O::passed, "small", "unused"}), "ok    Model: small");
}

}  // namespace
}  // namespace korvane
