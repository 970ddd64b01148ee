// The frame reader and the decoding of what a frame may hold, from raw bytes.
// The first byte says where the bytes are cut in two, as a network would.

#include "hverror.h"
#include "protocol.h"
#include "readplan.h"

#include <cstddef>
#include <cstdint>

using namespace Protocol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const qsizetype cut = qsizetype(data[0]) * bytes.size() / 256;
    FrameReader reader;
    reader.append(bytes.left(cut));
    bool second = false;
    for (;;) {
        QCborMap m;
        const FrameReader::Status status = reader.next(&m);
        if (status == FrameReader::Status::Error)
            break;
        if (status == FrameReader::Status::NeedMore) {
            if (second)
                break;
            second = true;
            reader.append(bytes.mid(cut));
            continue;
        }
        try {
            decodeStep(m, 8);
        } catch (const HVError &) {
        }
        try {
            const QVector<PlanStep> steps = decodePlan(m.value(Key::Steps));
            const QCborArray answers = m.value(Key::Answers).toArray();
            for (int i = 0; i < steps.size() && i < answers.size(); ++i)
                decodeAnswer(steps[i], answers.at(i));
        } catch (const HVError &) {
        }
        try {
            decodeChallenge(m, "clientnonce0");
            fromCbor(m.value(Key::Value));
        } catch (const HVError &) {
        }
    }
    return 0;
}
