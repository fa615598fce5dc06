// The update service as the installer sees it: real requests from Windows
// (WinINet under Wine) to the Linux service on 127.0.0.1.
#include <gtest/gtest.h>

#include "support/UpdateService.h"

namespace {

TEST(UpdateServiceSmoke, StartsAndAnswers) {
    UpdateService service;
    ASSERT_TRUE(service.started()) << service.startError();
    service.publish(ServiceSoftware("a3d907:e2c41b7f96:-7c5e", 2001, "App", {"2.10000"}).file(7, "app.zip"));
    HttpFetch fetch = FetchUrl(service.serviceUrl() + "?task=updates&sof=a3d907:e2c41b7f96:-7c5e_.00000&lang=25&os=11");
    ASSERT_TRUE(fetch.ok) << fetch.error;
    EXPECT_EQ(fetch.status, 200u);
    EXPECT_NE(fetch.body.find("<ID>2001</ID>"), std::string::npos) << fetch.body;
    ASSERT_EQ(service.requests().size(), 1u);
}

}  // namespace
