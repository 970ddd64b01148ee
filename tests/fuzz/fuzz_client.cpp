// The client's handling of the crate's replies from raw bytes: frames cut out
// of them go to a reply book holding a waiting call, a plan and a posted
// write, as NetClient would hand them; answers are delivered at once.

#include "hverror.h"
#include "protocol.h"
#include "readplan.h"
#include "replybook.h"

#include <cstddef>
#include <cstdint>

using namespace Protocol;

namespace {

std::shared_ptr<ReadPlan> makePlan()
{
    auto plan = std::make_shared<ReadPlan>();
    const int map = plan->querySlots(PlanStep::SlotCount | PlanStep::ChannelCounts | PlanStep::SlotModels,
                                       [](const QVariant &, const QVariant &, const QVariant &) {});
    plan->onlyIfChannel(map, 0, 1);
    plan->paramValue(0, QStringLiteral("VMon"), 1, [](const QVariant &v) { v.toDouble(); });
    plan->always();
    const int list = plan->listChannelParams(0, 1, [](const QVariant &v) { v.toStringList(); });
    plan->paramAttributeOfEach(list, 0, QStringLiteral("Type"), 1, [](const QVariant &v) { v.toList(); });
    plan->crateProperty(QStringLiteral("ModelName"));
    return plan;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ReplyBook book;
    book.sent(1);
    book.waitFor(1);
    ReplyBook::Pending plan;
    plan.id = 2;
    plan.plan = makePlan();
    book.add(plan);
    ReplyBook::Pending write;
    write.id = 3;
    write.done = [](const HVError *error) {
        if (error)
            error->message();
    };
    book.add(write);
    book.sent(3);

    FrameReader reader;
    reader.append(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    QCborMap frame;
    while (reader.next(&frame) == FrameReader::Status::Frame) {
        ReplyBook::Taken taken = book.take(frame);
        if (taken.kind == ReplyBook::Taken::Kind::Lost)
            break;
        if (taken.kind == ReplyBook::Taken::Kind::Answer)
            ReplyBook::deliver(std::move(taken.pending), taken.reply);
        if (taken.kind == ReplyBook::Taken::Kind::Waited) {
            try {
                decodeChallenge(*book.waitedReply(), "clientnonce0");
            } catch (const HVError &) {
            }
        }
    }
    for (ReplyBook::Pending &p : book.takeAll())
        ReplyBook::fail(std::move(p), HVError::link(QStringLiteral("gone")));
    return 0;
}
