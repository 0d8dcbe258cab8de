#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "containers.h"
#include "errors.h"
#include "lock.h"
#include "notification.h"
#include "rounding.h"
#include "thrown.h"
#include "trace.h"
#include "trace_capture.h"

using namespace Vantrix;

TEST(ErrorKinds, TracedWithNameAndTextOnlyInsideTheTable) {
    EXPECT_NE(NameOf(15), nullptr);
    EXPECT_EQ(TextOf(16), nullptr);
    EXPECT_EQ(NameOf(-1), nullptr);
    TraceCapture trace;
    EXPECT_EQ(TraceCaught(eetReadFailure), eetReadFailure);
    EXPECT_EQ(trace.Text(),
              "Caught an exception (eetReadFailure): An attempt to read something failed.\n");
}

TEST(Nearest, HalvesGoAwayFromZeroAndSaturate) {
    const double x[] = {0.0,  -0.3, -1.2, -1.5,         1.5,           2.5,
                        -2.5, 3e9,  -3e9, 2147483646.6, -2147483647.5, std::nan("")};
    const int32_t n[] = {0, 0, -1, -2, 2, 3, -3, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, 0};
    for (size_t i = 0; i < std::size(x); ++i)
        EXPECT_EQ(nearest(x[i]), n[i]) << x[i];
}

TEST(DynaVector, WidensKeepingElementsAtTheirIndices) {
    ADynaVector<int> v;
    EXPECT_TRUE(v.IsEmpty());
    EXPECT_THROW(v.At(0), EErrorType);
    v.Include(5);
    EXPECT_EQ(v.Count(), 1);
    EXPECT_EQ(v.At(5), 0);
    v.At(5) = 7;
    v.Include(-2);
    EXPECT_EQ(v.Low(), -2);
    EXPECT_EQ(v.High(), 5);
    EXPECT_EQ(v.At(5), 7);
    for (int i = -2; i < 5; ++i)
        EXPECT_EQ(v.At(i), 0);
    v.Include(0); // already inside: nothing moves
    EXPECT_EQ(v.Count(), 8);
    EXPECT_THROW(v.At(6), EErrorType);
}

TEST(Matrix, RangesAreInclusiveCheckedAndCopiedDeep) {
    AMatrix<double> m(0, 42, 0, 15);
    EXPECT_EQ(m.Rows(), 43);
    EXPECT_EQ(m.Cols(), 16);
    double sum = 0;
    for (int r = 0; r <= 42; ++r)
        for (int c = 0; c <= 15; ++c)
            sum += m.At(r, c);
    EXPECT_EQ(sum, 0.0);
    EXPECT_EQ(ThrownKind([&] { m.At(43, 0); }), eetRangeFailure);
    EXPECT_THROW((AMatrix<double>(1, 0, 0, 0)), EErrorType);
    EXPECT_THROW((AMatrix<double>(0, 0, 3, 2)), EErrorType);
    AMatrix<double> one(0, 0, 0, 0), neg(-3, -1, 5, 6);
    one.At(0, 0) = 2.0;
    EXPECT_EQ(one.At(0, 0), 2.0);
    neg.At(-2, 6) = 1.5;
    AMatrix<double> copy = neg;
    copy.At(-2, 6) = 9.0;
    EXPECT_EQ(neg.At(-2, 6), 1.5);
    neg = copy;
    EXPECT_EQ(neg.At(-2, 6), 9.0);
    EXPECT_THROW(neg.At(0, 5), EErrorType);
}

namespace {
class Counter : public ANotificationClient {
public:
    void OnNotify(ANotificationServer& server) override { seen.push_back(server.Kind()); }
    std::vector<int32_t> seen;
};

class Server : public ANotificationServer {
public:
    int32_t Kind() const override { return 3; }
    int32_t Notify() override { return NotifyClients(); }
};
} // namespace

TEST(Notification, AttachOnceDetachTwiceNotifyInOrder) {
    Server server;
    Counter a, b;
    EXPECT_EQ(server.Attach(&a), 0);
    EXPECT_EQ(server.Attach(&b), 0);
    EXPECT_EQ(server.Attach(&a), 0);
    server.Notify();
    EXPECT_EQ(a.seen, std::vector<int32_t>{3}) << "attached once";
    EXPECT_EQ(b.seen, std::vector<int32_t>{3});
    EXPECT_EQ(server.Detach(&a), 0);
    EXPECT_EQ(server.Detach(&a), eetFindFailure);
    server.Notify();
    EXPECT_EQ(a.seen.size(), 1u);
    EXPECT_EQ(b.seen.size(), 2u);
    Server copy = server; // copies share the client list
    EXPECT_EQ(copy.Clients().size(), 1u);
}

TEST(CriticalSection, ExcludesOtherThreads) {
    std::atomic<int> inside{0};
    std::atomic<bool> overlap{false};
    auto work = [&] {
        for (int i = 0; i < 2000; ++i) {
            TCriticalSection lock;
            if (inside.fetch_add(1) != 0) overlap = true;
            inside.fetch_sub(1);
        }
    };
    std::thread t1(work), t2(work);
    t1.join();
    t2.join();
    EXPECT_FALSE(overlap.load());
}

TEST(Trace, DiscardsByDefaultAndFormatsWhenRedirected) {
    Trace("nothing %d\n", 1); // no sink: must not crash or print
    TraceCapture trace;
    Trace("%s=%d\n", "n", 42);
    std::string longText(5000, 'x');
    Trace("%s", longText.c_str());
    EXPECT_EQ(trace.Text(), "n=42\n" + longText);
}
