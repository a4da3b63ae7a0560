// The storage file under failing allocations, opens, reads, writes, fsyncs and renames: saving a
// table over an older file and loading it back, with each such step in turn failing. A failed save
// reports its error and leaves the older file whole and no stray file beside it; a failed load
// reports its error and leaves the table as it was; every completed run gives the new file or
// the saved table.
#include "exchange/stream/value_stream.h"
#include "exchange/valuearray/value_array_class.h"
#include "fault_walk.h"
#include "platform/com/errorinfo.h"
#include "platform/kernel/codepage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

namespace quill::faults {
namespace {

using namespace com;
using namespace exchange;
namespace fs = std::filesystem;

ComPtr<ISafeArray> Table(int rows, const char16_t* text) {
    ComPtr<ISafeArray> table = CreateValueArray();
    table->SetBounds(rows, 2);
    for (int row = 0; row < rows; ++row) {
        table->SetValue(row, 0, OleVariant(text));
        table->SetValue(row, 1, OleVariant(row));
    }
    return table;
}

// The table's cells as one text, to compare states.
std::u16string Cells(ISafeArray* table) {
    std::int32_t rows = 0, columns = 0;
    table->GetBounds(&rows, &columns);
    std::u16string out = u"[" + kernel::AnsiToWide(std::to_string(rows)) + u"x" +
                         kernel::AnsiToWide(std::to_string(columns)) + u"]";
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            OleVariant cell;
            table->GetValue(r, c, &cell);
            OleVariant text;
            if (SUCCEEDED(VariantChangeType(&text, &cell, 0, VT_BSTR)))
                out += TextFromBStr(text.bstrVal);
            out += u";";
        }
    return out;
}

// Raises with the error description when an ISafeArray call fails.
void Check(HRESULT hr, VARIANT_BOOL ok, bool mustSucceed) {
    if (FAILED(hr)) throw std::runtime_error(kernel::WideToAnsi(TakeErrorDescription()));
    if (mustSucceed && !ok) throw std::runtime_error("reported false");
}

class StorageFaults : public testing::Test {
  protected:
    void SetUp() override {
        FFolder = fs::temp_directory_path() / ("quill-storage-faults-" + std::to_string(getpid()));
        fs::create_directories(FFolder);
        FPath = (FFolder / "table.sa").string();
        FWidePath = kernel::Utf8ToWide(FPath);
    }
    void TearDown() override { fs::remove_all(FFolder); }
    std::string FileBytes() const {
        std::ifstream in(FPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t FilesInFolder() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(FFolder), fs::directory_iterator()));
    }
    void Save(ISafeArray* table) {
        VARIANT_BOOL ok = 0;
        const BStr name(FWidePath);
        const HRESULT hr = table->SaveToFile(name.Get(), &ok);
        Check(hr, ok, true);
    }
    void Load(ISafeArray* table) {
        VARIANT_BOOL ok = 0;
        const BStr name(FWidePath);
        const HRESULT hr = table->LoadFromFile(name.Get(), &ok);
        Check(hr, ok, true);
    }

    // Saving `newer` over a file holding `older`, with `kind` walked over the save.
    void WalkSave(kernel::TFaultKind kind, int minimumSteps) {
        ComPtr<ISafeArray> older = Table(2, u"старое");
        ComPtr<ISafeArray> newer = Table(40, u"новое значение");
        Save(older.Get());
        const std::string oldBytes = FileBytes();
        Save(newer.Get());
        ComPtr<ISafeArray> check = CreateValueArray();
        Load(check.Get());
        const std::u16string newCells = Cells(newer.Get());
        ASSERT_EQ(Cells(check.Get()), newCells);

        const int steps = WalkFaults(
            kind, [&] { Save(older.Get()); }, [&] { Save(newer.Get()); },
            [&](const TOutcome& outcome) {
                EXPECT_EQ(FilesInFolder(), 1u) << "step " << outcome.Step;
                if (outcome.Failed) {
                    EXPECT_TRUE(outcome.Fired) << outcome.Message;
                    EXPECT_FALSE(outcome.Message.empty());
                    // The older table, saved again before each step (its time of saving differs).
                    EXPECT_EQ(FileBytes().substr(19), oldBytes.substr(19))
                        << "step " << outcome.Step;
                } else {
                    ComPtr<ISafeArray> back = CreateValueArray();
                    Load(back.Get());
                    EXPECT_EQ(Cells(back.Get()), newCells) << "step " << outcome.Step;
                }
            });
        EXPECT_GE(steps, minimumSteps);
    }

    fs::path FFolder;
    std::string FPath;
    std::u16string FWidePath;
};

TEST_F(StorageFaults, ASaveThatRunsOutOfMemoryKeepsTheOlderFile) {
    WalkSave(kernel::TFaultKind::Allocation, 5);
}

TEST_F(StorageFaults, ASaveWhoseOpenWriteFsyncOrRenameFailsKeepsTheOlderFile) {
    WalkSave(kernel::TFaultKind::Open, 1);
    WalkSave(kernel::TFaultKind::Write, 1);
    WalkSave(kernel::TFaultKind::Fsync, 1);
    WalkSave(kernel::TFaultKind::Rename, 1);
}

TEST_F(StorageFaults, ALoadThatRunsOutOfMemoryKeepsTheTable) {
    ComPtr<ISafeArray> saved = Table(40, u"сохранённое");
    Save(saved.Get());
    ComPtr<ISafeArray> table = Table(1, u"прежнее");
    const std::u16string before = Cells(table.Get());
    const std::u16string after = Cells(saved.Get());
    const int steps = WalkFaults(
        kernel::TFaultKind::Allocation, [&] { table = Table(1, u"прежнее"); },
        [&] { Load(table.Get()); },
        [&](const TOutcome& outcome) {
            EXPECT_EQ(Cells(table.Get()), outcome.Failed ? before : after)
                << "step " << outcome.Step << ": " << outcome.Message;
        });
    EXPECT_GE(steps, 5);
}

TEST_F(StorageFaults, ALoadWhoseOpenOrReadFailsKeepsTheTableAndSaysSo) {
    ComPtr<ISafeArray> saved = Table(40, u"сохранённое");
    Save(saved.Get());
    const std::u16string after = Cells(saved.Get());
    for (auto kind : {kernel::TFaultKind::Open, kernel::TFaultKind::Read}) {
        ComPtr<ISafeArray> table = Table(1, u"прежнее");
        const std::u16string before = Cells(table.Get());
        const int steps = WalkFaults(
            kind, [&] { table = Table(1, u"прежнее"); }, [&] { Load(table.Get()); },
            [&](const TOutcome& outcome) {
                if (outcome.Fired) {
                    // A file that cannot be read is an error (or, when even its folder cannot be
                    // opened, a load that reports false), never an empty or partial table.
                    EXPECT_TRUE(outcome.Failed) << "step " << outcome.Step;
                    EXPECT_FALSE(outcome.Message.empty());
                }
                EXPECT_EQ(Cells(table.Get()), outcome.Failed ? before : after)
                    << "step " << outcome.Step << ": " << outcome.Message;
            });
        EXPECT_GE(steps, 1);
    }
}

} // namespace
} // namespace quill::faults
