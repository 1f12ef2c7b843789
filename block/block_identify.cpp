#include "block/block_identify.h"

#include "app/process_state.h"
#include "app/text_table.h"
#include "app/update_dlg.h"
#include "app/wformat.h"
#include "block/block_frame.h"
#include "block/block_primitives.h"
#include "block/device_memory_map.h"

namespace {

constexpr int kTextTitle = 6;
constexpr int kTextInstructions = 14;
constexpr std::uint32_t kWordBytes = 4;

void ChooseMemoryMap(CUpdateDlg& dlg)
{
    dlg.memoryMap = kDefaultMemoryMap;  // nothing of an earlier device survives
    std::uint8_t info[kWordBytes];
    if (!BlockReadInfo(dlg, info, kWordBytes))
        return;  // the type keeps its earlier value
    dlg.currentDeviceType = LoadLe32(info);
    dlg.memoryMap = MemoryMapForType(dlg.currentDeviceType);
}

}  // namespace

std::u16string BlockVersionTitle(std::uint32_t version)
{
    const std::u16string title = LoadText(kTextTitle);
    const std::uint32_t beta = version >> 16;
    const double release = (version & 0xFFFF) / 100.0;
    if (beta == 0)
        return WFormat(u"%s(ZudoVor V%0.2f)", title, release);
    return WFormat(u"%s(ZudoVor V%0.2f beta%d)", title, release, beta);
}

void IdentifyBlockDevice()
{
    CUpdateDlg* dlg = ActiveDialog;
    if (!dlg)
        return;
    ChooseMemoryMap(*dlg);
    std::uint8_t word[kWordBytes];
    if (!BlockReadMemory(*dlg, word, kWordBytes, dlg->memoryMap.versionAddress))
        return;
    const std::uint32_t version = LoadLe32(word);
    cur_devVersion = version;
    if (version == kNoFirmwareVersion) {
        dlg->ShowMessage(WFormat(u"%s", LoadText(kTextInstructions)));
        return;
    }
    dlg->SetTitle(BlockVersionTitle(version));
}
