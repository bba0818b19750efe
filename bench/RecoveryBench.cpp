// Time to save the n-th item of a batch into its open recovery file: every
// save reads the open folder and rewrites the whole file, so it grows with n.
// Time to list n closed files of ten records each, read anew at each listing.
// And the conversion of a stored date, which each save does for every record,
// against a plain mktime left to find daylight saving, in three settings.
#include "recovery/RecoveryFileUtil.h"
#include "recovery/ZUVARecoveryFileManager.h"
#include "tests/support/LocalTime.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <ctime>

namespace {

std::shared_ptr<ect::ZUVARecoveryItem> item(const std::tm& date)
{
    auto item = std::make_shared<ect::ZUVARecoveryItem>();
    item->terminalId("12345678");
    item->acquirerId("0000000A");
    item->schemeId("A00000000401");
    item->batchId("0012");
    item->creationDate(date);
    item->merchantUserId("CASHIER1");
    item->transactionLogRecord(std::string(120, 'A'));
    return item;
}

// An open file that already holds count transactions.
void prepareOpenFile(ect::ZUVARecoveryFileManager& manager, int count, const std::tm& date)
{
    auto file = std::make_shared<ect::ZUVARecoveryFileImpl>();
    file->setTerminalId("12345678");
    file->setAcquirerId("0000000A");
    file->setSchemeId("A00000000401");
    file->setBatchId("0012");
    file->setCreationDate(date);
    ect::ZUVARecoveryFileImpl::Transactions transactions;
    for (int i = 0; i < count; ++i) {
        auto transaction = std::make_shared<ect::ZUVARecoveryFileTransaction>();
        transaction->setDate(date);
        transaction->setMerchantUserId("CASHIER1");
        transaction->setLogRecord(std::string(120, 'A'));
        transactions.push_back(transaction);
    }
    file->setTransactions(transactions);
    ect::RecoveryFileUtil::writeRecoveryFileXml(manager.getOpenFilePath("12345678", "0000000A"), file);
}

void saveNthItem(benchmark::State& state)
{
    QTemporaryDir base;
    const std::tm date = testsupport::localTime(2016, 3, 5, 9, 0, 0);
    ect::ZUVARecoveryFileManager manager([&date] { return ect::RecoveryCalendar::toSeconds(date) + 3600; });
    manager.recoveryFileFolder(base.path());
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        prepareOpenFile(manager, n - 1, date);
        state.ResumeTiming();
        if (!manager.saveRecoveryItem(item(date)))
            state.SkipWithError("save failed");
    }
    state.SetLabel("n-th item, n = " + std::to_string(n));
}

void listClosedFiles(benchmark::State& state)
{
    QTemporaryDir base;
    const std::tm date = testsupport::localTime(2016, 3, 5, 9, 0, 0);
    ect::ZUVARecoveryFileManager manager([&date] { return ect::RecoveryCalendar::toSeconds(date) + 3600; });
    manager.recoveryFileFolder(base.path());
    const int n = static_cast<int>(state.range(0));
    for (int batch = 0; batch < n; ++batch) {
        for (int record = 0; record < 10; ++record) {
            auto next = item(date);
            next->batchId(std::to_string(1000 + batch));
            manager.saveRecoveryItem(next);
        }
    }
    for (auto _ : state) {
        if (manager.getRecoveryFiles().size() != static_cast<std::size_t>(n - 1))
            state.SkipWithError("files missing");
    }
    state.SetLabel("closed files: " + std::to_string(n - 1));
}

struct ZoneAndDate {
    const char* zone;
    int month;
};

const ZoneAndDate settings[] = {{"UTC", 1}, {"Europe/Berlin", 1}, {"Europe/Berlin", 7}};

template <typename Convert>
void convertDates(benchmark::State& state, Convert convert)
{
    const ZoneAndDate& setting = settings[state.range(0)];
    const testsupport::LocalZone zone(setting.zone);
    const std::tm date = testsupport::localTime(2026, setting.month, 15, 10, 30, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(convert(date));
    state.SetLabel(std::string(setting.zone) + (setting.month == 1 ? " winter" : " summer"));
}

__attribute__((noinline)) std::time_t plainMktime(std::tm date)
{
    date.tm_isdst = -1;
    return std::mktime(&date);
}

void storedDate(benchmark::State& state)
{
    convertDates(state, [](const std::tm& date) { return ect::RecoveryCalendar::toSeconds(date); });
}

void plainMktimeDate(benchmark::State& state)
{
    convertDates(state, [](const std::tm& date) { return plainMktime(date); });
}

} // namespace

BENCHMARK(storedDate)->DenseRange(0, 2);
BENCHMARK(plainMktimeDate)->DenseRange(0, 2);
BENCHMARK(saveNthItem)->RangeMultiplier(10)->Range(1, 1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(listClosedFiles)->Arg(21)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
