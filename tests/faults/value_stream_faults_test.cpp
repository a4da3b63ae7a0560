// The value stream under failing allocations: encoding and decoding a table of texts, numbers
// and nested arrays with every allocation in turn failing. Each failure must surface as an
// out-of-memory error, leave the input as it was and leak nothing (the sanitizer build checks
// the leaks); every run that completes must produce the same bytes or the same value.
#include "exchange/stream/value_stream.h"
#include "exchange/valuearray/value_array_class.h"
#include "fault_walk.h"
#include "platform/com/com_safearray.h"

#include <gtest/gtest.h>

#include <vector>

namespace quill::faults {
namespace {

using namespace com;
using namespace exchange;
using Bytes = std::vector<unsigned char>;

Bytes Contents(const TMyMemoryStream& stream) {
    return Bytes(stream.Memory, stream.Memory + stream.Size);
}

// A 3 x 2 value array of texts and numbers whose last cell holds a one-dimensional array of
// variants: every kind of allocation the stream makes, in a few dozen steps.
OleVariant SampleTable() {
    ComPtr<ISafeArray> table = CreateValueArray();
    table->SetBounds(3, 2);
    for (int row = 0; row < 3; ++row) {
        table->SetValue(row, 0, OleVariant(u"строка " + std::u16string(row + 1, u'я')));
        table->SetValue(row, 1, OleVariant(row * 1000));
    }
    SAFEARRAYBOUND bound{4, 0};
    SAFEARRAY* inner = SafeArrayCreate(VT_VARIANT, 1, &bound);
    for (LONG i = 0; i < 4; ++i) {
        OleVariant cell = i % 2 ? OleVariant(u"вложенный") : OleVariant(static_cast<double>(i));
        SafeArrayPutElement(inner, &i, &cell);
    }
    table->SetValue(2, 1, OleVariant::FromArray(inner, VT_VARIANT));
    return OleVariant(static_cast<IDispatch*>(table.Get()));
}

class ValueStreamFaults : public testing::Test {};

TEST_F(ValueStreamFaults, EncodingFailsWholeOrProducesTheSameBytes) {
    const OleVariant value = SampleTable();
    TMyMemoryStream reference;
    WriteValue(reference, value);
    const Bytes expected = Contents(reference);

    const int steps = WalkFaults(
        kernel::TFaultKind::Allocation, nullptr,
        [&] {
            TMyMemoryStream stream;
            WriteValue(stream, value);
            if (Contents(stream) != expected) throw std::logic_error("different bytes");
        },
        [&](const TOutcome& outcome) {
            // A failure that no injected fault explains is a fault of the code.
            if (outcome.Failed) {
                EXPECT_TRUE(outcome.Fired) << outcome.Message;
            }
            EXPECT_NE(outcome.Message, "different bytes") << "step " << outcome.Step;
            // The value itself is untouched by a failed encoding.
            TMyMemoryStream again;
            WriteValue(again, value);
            EXPECT_EQ(Contents(again), expected) << "step " << outcome.Step;
        });
    EXPECT_GT(steps, 0);
}

TEST_F(ValueStreamFaults, DecodingFailsWithoutAResultOrGivesTheSameValue) {
    TMyMemoryStream reference;
    WriteValue(reference, SampleTable());
    const Bytes encoded = Contents(reference);

    TMyMemoryStream source;
    source.Write(encoded.data(), static_cast<std::int32_t>(encoded.size()));
    const int steps = WalkFaults(
        kernel::TFaultKind::Allocation, nullptr,
        [&] {
            source.Position = 0;
            OleVariant decoded = ReadValue(source);
            TMyMemoryStream again;
            WriteValue(again, decoded);
            if (Contents(again) != encoded) throw std::logic_error("different value");
        },
        [&](const TOutcome& outcome) {
            // A failure that no injected fault explains is a fault of the code.
            if (outcome.Failed) {
                EXPECT_TRUE(outcome.Fired) << outcome.Message;
            }
            EXPECT_NE(outcome.Message, "different value") << "step " << outcome.Step;
            EXPECT_EQ(Contents(source), encoded) << "the stream read is not changed";
        });
    EXPECT_GT(steps, 10);
}

} // namespace
} // namespace quill::faults
