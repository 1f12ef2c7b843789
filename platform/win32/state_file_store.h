#pragma once
// The catalogue memory in a small file: catalogue-state.json in
// %LOCALAPPDATA%\controller-updater, or the file CONTROLLER_UPDATER_STATE
// names. Written whole to a temporary file beside it, flushed to the disk
// and moved over it (MoveFileExW, replacing, write-through).
#include <string>

#include "catalogue/trust_store.h"

class StateFileStore final : public ITrustStore {
public:
    // path empty: there is no usable place; Load finds nothing, Save fails.
    explicit StateFileStore(std::u16string path) : m_Path(std::move(path)) {}
    // The file named by the environment, else the one in the state folder.
    static std::u16string DefaultPath();

    TrustStoreLoad Load() override;
    std::string Save(std::string_view text) override;
    std::string Where() const override;

private:
    std::u16string m_Path;
};
