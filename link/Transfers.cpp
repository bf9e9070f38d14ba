#include "link/Transfers.h"

#include <algorithm>

#include "image/ImageRegions.h"

namespace orvalink {

namespace {

constexpr size_t BlockOffset(size_t block) { return block * kBlockBytes; }

// The progress dialog's range for the main Download and Upload: the dialog
// shows the block number, 0..1012.
constexpr int kTransferDialogMaximum = kConfigBlocks - 1;
static_assert(kPartial1400Count == 1409);
static_assert(kPartial5100Count == 2364);
// The partial upgrade of a 5100-family flash keeps bytes 32..33 of the
// settings block and of this one from the image.
constexpr uint16_t kPartial5100SecondBlock = 111;
constexpr size_t kPartial5100KeptOffset = 32;
// The gauge's range during the packet read of the 256 KB models' backup: the
// bytes received.
constexpr int kBackupPacketsGaugeMaximum = int(kPacketCount) * int(kPacketBytes);

}  // namespace

bool Transfers::ImageHolds(uint16_t blocks) const {
    auto [data, ready] = flash_.ImageData();
    return ready && data != nullptr && flash_.ImageSize() >= BlockOffset(blocks);
}

void Transfers::NotReady() { notReady_ = true; }

TransferOutcome Transfers::OutcomeOf(bool ok) const {
    if (ok) return TransferOutcome::Of(TransferResult::Ok);
    if (notReady_) return {TransferResult::NotReady, "Ti Flash not ready !", MsgIcon::Error};
    if (!verifyMessage_.empty()) return {TransferResult::Failed, verifyMessage_, MsgIcon::Error};
    if (link_.UserAbort()) return TransferOutcome::Of(TransferResult::Broken);
    return TransferOutcome::Of(TransferResult::Failed);
}

void Transfers::WaitForDialog(TransferProgress& progress) {
    link_.Pump().PumpUntil([&progress] { return progress.Closed(); }, kDialogWaitMs);
}

// Reads blocks 0..count-1 (the 0xA1 frame is out, mode Block266 set) into a
// staging buffer; the image changes only when every block has arrived.
bool Transfers::ReadIntoImage(uint16_t count, const std::function<void(int)>& progress) {
    std::vector<uint8_t> staging(BlockOffset(count));
    link_.SetReceiveMode(ReceiveMode::Block266);
    link_.ResetAssembly();
    for (int b = 0; b < count; ++b) {
        if (!link_.Blocks().ReceiveBlock(std::span<uint8_t>(staging).subspan(BlockOffset(b), kBlockBytes), b)) return false;
        link_.SetProgress(b);
        if (progress) progress(b);
        if (link_.Channel().ShouldStop()) return false;
    }
    std::copy(staging.begin(), staging.end(), flash_.Image().begin());
    return true;
}

bool Transfers::CopyPreserved(std::span<const uint8_t> block103) {
    auto image = flash_.Image();
    const size_t at = BlockOffset(kSettingsBlock) + kPreservedOffset;
    if (image.size() < at + kPreservedBytes || block103.size() < kPreservedOffset + kPreservedBytes) return false;
    std::copy_n(block103.begin() + kPreservedOffset, kPreservedBytes, image.begin() + at);
    return true;
}

// The 0xA3 frame for the range, its blocks from the image, and the closing
// 0xA5 frame with the range's bytes.
bool Transfers::WriteRange(uint16_t first, uint16_t count) {
    // A range of no block (or past the image) is no write at all.
    if (count == 0 || flash_.ImageSize() < BlockOffset(size_t(first) + count)) return false;
    if (!link_.Blocks().SendFrameAndJudge(BlockFrame(kCmdWriteBlocks, first, count), true)) return false;
    auto image = flash_.Image();
    Note(first, image.subspan(BlockOffset(first), BlockOffset(count)));
    for (int b = first; b < first + count; ++b) {
        if (!link_.Blocks().SendBlock(image.subspan(BlockOffset(b), kBlockBytes), b)) return false;
        link_.SetProgress(b - first);
        if (link_.Channel().ShouldStop()) return false;
    }
    link_.WaitTicks(50);
    if (!link_.Blocks().SendFrameAndJudge(BlockFrame(kCmdEndUpload, first, count), true)) return false;
    return link_.LinkStatus() == kLinkGood;
}

TransferOutcome Transfers::WriteImageRange(uint16_t first, uint16_t count) {
    notReady_ = false;
    verifyMessage_.clear();
    return OutcomeOf(WriteRange(first, count));
}

TransferOutcome Transfers::DownloadFromRemote(TransferProgress& progress) {
    notReady_ = false;
    verifyMessage_.clear();
    return OutcomeOf(RunDownloadFromRemote(progress));
}

bool Transfers::RunDownloadFromRemote(TransferProgress& progress) {
    link_.SetLinkStatus(kLinkGood);
    link_.Expect(ReceiveMode::Word2);
    int number = 0;
    if (!link_.FindVisualComPort(number)) return false;
    if (!link_.Blocks().WakeForTransfer()) return false;
    if (!link_.Blocks().SendFrame(BlockFrame(kCmdReadBlocks, 0, kConfigBlocks))) return false;
    if (!ImageHolds(kConfigBlocks)) {
        NotReady();
        return false;  // no dialog was shown, so there is none to wait for
    }
    progress.Open("Download from Remote.", kTransferDialogMaximum);
    progress.SetPosition(0);
    const bool ok = ReadIntoImage(kConfigBlocks, [&progress](int b) { progress.SetPosition(b); });
    if (ok) progress.Succeeded();
    WaitForDialog(progress);
    progress.SetPosition(0);
    progress.Release();
    return ok;
}

TransferOutcome Transfers::UploadToRemote(TransferProgress& progress, int kind) {
    notReady_ = false;
    verifyMessage_.clear();
    return OutcomeOf(RunUploadToRemote(progress, kind, nullptr));
}

UploadOutcome Transfers::UploadAndVerify(TransferProgress& progress, int kind, bool verify) {
    notReady_ = false;
    verifyMessage_.clear();
    UploadOutcome outcome;
    const bool ok = RunUploadToRemote(progress, kind, verify ? &outcome.verify : nullptr);
    outcome.upload = OutcomeOf(ok);
    return outcome;
}

bool Transfers::RunUploadToRemote(TransferProgress& progress, int kind, VerifyOutcome* verify) {
    if (!ImageHolds(kConfigBlocks)) {
        NotReady();
        return false;
    }
    int number = 0;
    if (!link_.FindVisualComPort(number)) return false;
    link_.ResetAssembly();
    link_.SetReceiveMode(ReceiveMode::Word2);
    if (!link_.Blocks().WakeForTransfer()) return false;

    std::array<uint8_t, kBlockBytes> work{};
    if (!link_.Blocks().ReadBlocks(kSettingsBlock, 1, work)) return false;
    CopyPreserved(work);
    link_.WaitTicks(100);
    if (kind != kKindWhole) return false;

    if (!link_.Blocks().WriteBlocks(kSettingsBlock, 1, work)) return false;
    link_.WaitTicks(200);
    if (!link_.Blocks().SendFrameAndJudge(BlockFrame(kCmdWriteBlocks, 0, kConfigBlocks), true)) return false;

    progress.Open("Upload to Remote.", kTransferDialogMaximum);
    progress.SetPosition(0);
    link_.SetProgress(0);
    // What is sent is what a verify compares with, whatever becomes of the
    // image meanwhile.
    const auto image = flash_.Image();
    const std::vector<uint8_t> sent(image.begin(), image.begin() + long(BlockOffset(kConfigBlocks)));
    bool ok = true;
    for (int b = 0; b < kConfigBlocks; ++b) {
        if (!link_.Blocks().SendBlock(std::span<const uint8_t>(sent).subspan(BlockOffset(b), kBlockBytes), b)) {
            ok = false;
            break;
        }
        progress.SetPosition(b);
        if (link_.Channel().ShouldStop()) {
            ok = false;
            break;
        }
    }
    // With a verify to come, the dialog stays busy until the read-back is done.
    if (ok && !verify) progress.Succeeded();

    // The remote's clock is set whether or not every block went through.
    const LocalDateTime now = link_.GetClock().Now();
    link_.WaitTicks(10);
    std::array<uint8_t, 8> frame = ClockFrame(kCmdSetClock, now);
    const int statusBefore = link_.LinkStatus();
    bool answered = link_.Blocks().SendFrameAndJudge(frame, true);
    if (answered) {
        link_.WaitTicks(10);
        frame[0] = kCmdEndUpload;
        answered = link_.Blocks().SendFrameAndJudge(frame, true);
    }
    // A clock or end frame that went unanswered or was refused fails the upload.
    if (!answered || (statusBefore == kLinkGood && link_.LinkStatus() == kLinkFailed)) ok = false;

    // The second run of the dialog: the remote woken again (the end frame has
    // closed its upload) and every block read back.
    if (ok && verify) {
        progress.Open(kVerifyingStatus, kTransferDialogMaximum);
        progress.SetPosition(0);
        link_.SetProgress(0);
        *verify = ReadBack(0, sent, [&](int b) {
            link_.SetProgress(b);
            progress.SetPosition(b);
        });
        if (verify->result == VerifyResult::Same || verify->result == VerifyResult::Differ) progress.Succeeded();
    }

    WaitForDialog(progress);
    progress.SetPosition(0);
    link_.SetProgress(0);
    progress.Release();
    return ok;
}

TransferOutcome Transfers::ReadFlash1400() {
    notReady_ = false;
    verifyMessage_.clear();
    return OutcomeOf(RunReadFlash1400());
}

bool Transfers::RunReadFlash1400() {
    link_.SetLinkStatus(kLinkGood);
    link_.Expect(ReceiveMode::Word2);
    if (!link_.Blocks().WakeForTransfer()) return false;
    if (!link_.Blocks().SendFrame(BlockFrame(kCmdReadBlocks, 0, kFlash1400Blocks))) return false;
    if (!ImageHolds(kFlash1400Blocks)) {
        NotReady();
        return false;
    }
    return ReadIntoImage(kFlash1400Blocks, {});
}

TransferOutcome Transfers::ReadFlash5100() {
    notReady_ = false;
    verifyMessage_.clear();
    return OutcomeOf(RunReadFlash5100());
}

bool Transfers::RunReadFlash5100() {
    link_.SetLinkStatus(kLinkGood);
    link_.Expect(ReceiveMode::Word2);
    if (!link_.Blocks().WakeForTransfer()) return false;
    if (!link_.Blocks().SendFrame(BlockFrame(kCmdReadBlocks, 0, kFlash5100Blocks))) return false;
    if (!ImageHolds(kFlash5100Blocks)) {
        NotReady();
        return false;
    }
    return ReadIntoImage(kFlash5100Blocks, {});
}

TransferOutcome Transfers::WriteFlash1400(int kind) {
    notReady_ = false;
    noted_.clear();
    verifyMessage_.clear();
    lastWriteVerify_ = {};
    return OutcomeOf(RunWriteFlash1400(kind));
}

bool Transfers::RunWriteFlash1400(int kind) {
    link_.ResetAssembly();
    link_.SetReceiveMode(ReceiveMode::Word2);
    if (!link_.Blocks().WakeForTransfer()) return false;
    uint16_t first = 0;
    uint16_t count = 0;
    std::array<uint8_t, 2 * kBlockBytes> work{};
    if (kind == kKindPartial) {
        first = kPartial1400First;
        count = kPartial1400Count;
        if (!link_.Blocks().ReadBlocks(0, 2, work)) return false;
        link_.WaitTicks(200);
    } else if (kind == kKindWhole) {
        first = 0;
        count = kFlash1400Blocks;
    } else {
        return false;
    }
    if (!ImageHolds(kFlash1400Blocks)) {
        NotReady();
        return false;
    }
    if (kind == kKindPartial) {
        auto image = flash_.Image();
        work[14] = image[14];
        work[15] = image[15];
        if (!WriteBlocksNoted(0, 2, work)) return false;
        link_.WaitTicks(200);
    }
    return WriteRange(first, count) && VerifyNoted();
}

TransferOutcome Transfers::WriteFlash5100(int kind) {
    notReady_ = false;
    noted_.clear();
    verifyMessage_.clear();
    lastWriteVerify_ = {};
    return OutcomeOf(RunWriteFlash5100(kind));
}

bool Transfers::RunWriteFlash5100(int kind) {
    if (!ImageHolds(kFlash5100Blocks)) {
        NotReady();
        return false;
    }
    link_.ResetAssembly();
    link_.SetReceiveMode(ReceiveMode::Word2);
    if (!link_.Blocks().WakeForTransfer()) return false;
    std::array<uint8_t, kBlockBytes> work103{};
    if (!link_.Blocks().ReadBlocks(kSettingsBlock, 1, work103)) return false;
    CopyPreserved(work103);
    link_.WaitTicks(200);
    auto image = flash_.Image();
    uint16_t first = 0;
    uint16_t count = 0;
    if (kind == kKindPartial) {
        std::array<uint8_t, kBlockBytes> work111{};
        if (!link_.Blocks().ReadBlocks(kPartial5100SecondBlock, 1, work111)) return false;
        link_.WaitTicks(200);
        constexpr size_t kept = kPartial5100KeptOffset;
        work103[kept] = image[BlockOffset(kSettingsBlock) + kept];
        work103[kept + 1] = image[BlockOffset(kSettingsBlock) + kept + 1];
        if (!WriteBlocksNoted(kSettingsBlock, 1, work103)) return false;
        link_.WaitTicks(200);
        work111[kept] = image[BlockOffset(kPartial5100SecondBlock) + kept];
        work111[kept + 1] = image[BlockOffset(kPartial5100SecondBlock) + kept + 1];
        if (!WriteBlocksNoted(kPartial5100SecondBlock, 1, work111)) return false;
        link_.WaitTicks(200);
        first = kPartial5100First;
        count = kPartial5100Count;
    } else if (kind == kKindWhole) {
        if (!WriteBlocksNoted(kSettingsBlock, 1, work103)) return false;
        count = kFlash5100Blocks;
    } else {
        return false;
    }
    return WriteRange(first, count) && VerifyNoted();
}

std::vector<uint32_t> DifferingPages(uint32_t firstPage, std::span<const uint8_t> sent,
                                     std::span<const uint8_t> readBack) {
    std::vector<uint32_t> pages;
    const size_t n = std::min(sent.size(), readBack.size()) / kBlockBytes;
    for (size_t p = 0; p < n; ++p) {
        const auto a = sent.subspan(BlockOffset(p), kBlockBytes);
        const auto b = readBack.subspan(BlockOffset(p), kBlockBytes);
        if (!std::equal(a.begin(), a.end(), b.begin())) pages.push_back(firstPage + uint32_t(p));
    }
    return pages;
}

bool Transfers::ReadBlocksBack(uint16_t first, uint16_t count, std::span<uint8_t> out,
                               const std::function<void(int)>& progress) {
    link_.SetLinkStatus(kLinkGood);
    link_.ResetAssembly();
    link_.SetReceiveMode(ReceiveMode::Word2);
    if (!link_.Blocks().WakeForTransfer() || link_.LinkStatus() != kLinkGood) return false;
    // The counter runs over this read's blocks, or as the caller counts.
    return link_.Blocks().ReadBlocks(first, count, out, [&](int block) {
        if (progress)
            progress(block - first);
        else
            link_.SetProgress(block - first);
    });
}

VerifyOutcome Transfers::ReadBack(uint16_t first, std::span<const uint8_t> sent,
                                  const std::function<void(int)>& progress) {
    SentPages pages;
    NotePages(pages, first, sent);
    return ReadBackPages(
        pages, [&](uint16_t from, uint16_t count, std::span<uint8_t> out) { return ReadBlocksBack(from, count, out, progress); },
        [this] { return link_.UserAbort(); });
}

void NotePages(SentPages& sent, uint32_t first, std::span<const uint8_t> data) {
    for (size_t p = 0; p < data.size() / kBlockBytes; ++p) {
        const auto page = data.subspan(BlockOffset(p), kBlockBytes);
        sent[first + uint32_t(p)].assign(page.begin(), page.end());
    }
}

VerifyOutcome ReadBackPages(const SentPages& sent, const PageReader& read, const std::function<bool()>& cancelled) {
    VerifyOutcome total;
    total.result = VerifyResult::Same;
    for (auto it = sent.begin(); it != sent.end();) {
        // A run of adjacent pages is read back with one request.
        std::vector<uint8_t> bytes;
        const uint32_t first = it->first;
        uint32_t next = first;
        while (it != sent.end() && it->first == next && next - first < UINT16_MAX) {
            bytes.insert(bytes.end(), it->second.begin(), it->second.end());
            ++it;
            ++next;
        }
        const auto count = uint16_t(next - first);
        std::vector<uint8_t> back(bytes.size());
        if (!read(uint16_t(first), count, back)) {
            total.result = cancelled && cancelled() ? VerifyResult::Broken : VerifyResult::ReadFailed;
            total.differing.clear();
            return total;
        }
        total.blocks += count;
        for (uint32_t page : DifferingPages(first, bytes, back)) total.differing.push_back(page);
    }
    if (!total.differing.empty()) total.result = VerifyResult::Differ;
    return total;
}

void Transfers::Note(uint32_t first, std::span<const uint8_t> data) {
    if (verifyWrites_) NotePages(noted_, first, data);
}

bool Transfers::WriteBlocksNoted(uint16_t first, uint16_t count, std::span<const uint8_t> data) {
    if (!link_.Blocks().WriteBlocks(first, count, data)) return false;
    Note(first, data.first(BlockOffset(count)));
    return true;
}

bool Transfers::VerifyNoted() {
    if (!verifyWrites_ || noted_.empty()) return true;
    // Its own run of the gauge, from 0 over every noted page.
    link_.View().StatusMessage(kVerifyingStatus);
    link_.View().ProgressRange(int(noted_.size()) - 1);
    int done = 0;
    lastWriteVerify_ = ReadBackPages(
        noted_,
        [&](uint16_t first, uint16_t count, std::span<uint8_t> out) {
            if (done > 0) link_.WaitTicks(50);
            const int base = done;
            done += count;
            return ReadBlocksBack(first, count, out, [&](int i) { link_.SetProgress(base + i); });
        },
        [this] { return link_.UserAbort(); });
    return VerifyVerdict(lastWriteVerify_);
}

bool Transfers::VerifyVerdict(const VerifyOutcome& verify) {
    switch (verify.result) {
        case VerifyResult::NotRun:
        case VerifyResult::Same: return true;
        case VerifyResult::Differ: verifyMessage_ = VerifyFailedText(flash_, verify); return false;
        case VerifyResult::ReadFailed: verifyMessage_ = kVerifyReadFailedText; return false;
        case VerifyResult::Broken: return false;
    }
    return false;
}

std::string VerifiedText(uint32_t blocks) {
    return "Upload verified: " + std::to_string(blocks) + (blocks == 1 ? " block as sent." : " blocks as sent.");
}

std::string VerifyFailedText(const TTiFlashFm& flash, const VerifyOutcome& verify) {
    const size_t n = verify.differing.size();
    std::string text = "Verify failed: " + std::to_string(n) + (n == 1 ? " block differs" : " blocks differ");
    const std::string what = DescribePagesText(flash, verify.differing);
    if (!what.empty()) text += " — " + what;
    return text;
}

UploadWords VerifiedUploadReports(const UploadOutcome& outcome, const TTiFlashFm& flash) {
    UploadWords words;
    if (!outcome.upload.Ok()) {
        words.reports = UploadReports(outcome.upload);
        return words;
    }
    switch (outcome.verify.result) {
        case VerifyResult::NotRun: words.reports = UploadReports(outcome.upload); break;
        case VerifyResult::Same:
            words.reports = {{std::string("Upload Flash Data Ok !\n") + VerifiedText(outcome.verify.blocks),
                              MsgIcon::Information}};
            break;
        case VerifyResult::Differ:
            words.again = VerifyFailedText(flash, outcome.verify) + "\n\nUpload again?";
            break;
        case VerifyResult::ReadFailed: words.reports = {{kVerifyReadFailedText, MsgIcon::Error}}; break;
        case VerifyResult::Broken:
            words.reports = {{kVerifyBrokenText, MsgIcon::Information}};
            break;
    }
    return words;
}

TransferOutcome Transfers::BackupDownload5100() {
    flash_.SelectModel(kSelector5100);
    TransferOutcome outcome = TransferOutcome::Of(TransferResult::NoPort);
    if (link_.EnsureLinkPort()) {
        link_.View().ProgressRange(kFlash5100GaugeMaximum);
        outcome = ReadFlash5100();
    }
    link_.SetProgress(0);
    link_.SetUserAbort(false);
    link_.CloseLinkPort();
    return outcome;
}

TransferOutcome Transfers::BackupDownloadPackets(std::vector<uint8_t>& transfer) {
    TransferOutcome outcome = TransferOutcome::Of(TransferResult::Failed);
    link_.View().ProgressRange(kBackupPacketsGaugeMaximum);
    if (link_.EnsureLinkPort() && link_.OpenLinkPortAt(38400)) {
        std::vector<uint8_t> staging(size_t(kPacketCount) * kPacketBytes, 0xFF);
        if (link_.Packets().ReadPackets(0, kPacketCount - 1, staging)) {
            transfer = std::move(staging);
            outcome = TransferOutcome::Of(TransferResult::Ok);
        } else if (link_.UserAbort()) {
            outcome = TransferOutcome::Of(TransferResult::Broken);
        }
    }
    link_.SetProgress(0);
    link_.SetUserAbort(false);
    link_.CloseLinkPort();
    return outcome;
}

namespace {
void Add(std::vector<LinkReport>& reports, const TransferOutcome& outcome) {
    if (!outcome.message.empty()) reports.push_back({outcome.message, outcome.icon});
}
}  // namespace

std::vector<LinkReport> DownloadReports(const TransferOutcome& outcome, bool tellBroken) {
    std::vector<LinkReport> reports;
    if (outcome.Ok()) return {{"Download Flash Data Ok !", MsgIcon::Information}};
    Add(reports, outcome);
    if (tellBroken && outcome.kind == TransferResult::Broken)
        reports.push_back({"Download transfer broken !", MsgIcon::Information});
    else
        reports.push_back({"Download Flash Data Error !", MsgIcon::Error});
    return reports;
}

std::vector<LinkReport> UploadReports(const TransferOutcome& outcome) {
    std::vector<LinkReport> reports;
    if (outcome.Ok()) return {{"Upload Flash Data Ok !", MsgIcon::Information}};
    Add(reports, outcome);
    reports.push_back({"Upload Flash Data Error !", MsgIcon::Error});
    return reports;
}

std::vector<LinkReport> Backup5100Reports(const TransferOutcome& outcome) {
    std::vector<LinkReport> reports;
    switch (outcome.kind) {
        case TransferResult::Ok: reports.push_back({"Download 5100 Flash Data Ok !", MsgIcon::Information}); break;
        case TransferResult::Broken: reports.push_back({"Download transfer broken !", MsgIcon::Information}); break;
        case TransferResult::NoPort: break;  // the port search has said so
        case TransferResult::NotReady:
        case TransferResult::Failed:
            Add(reports, outcome);
            reports.push_back({"Download 5100 Flash Data Error !", MsgIcon::Error});
            break;
    }
    return reports;
}

void ShowReports(UiServices& ui, const std::vector<LinkReport>& reports) {
    for (const LinkReport& r : reports) ui.Inform(r.text, r.icon);
}

}  // namespace orvalink
