// The program starts of "Run Program" and "Run Program As" carried out on
// Windows: the shell, CreateProcess and its logon and token forms, the
// tokens and integrity levels of the unelevated start, the current folder.
#pragma once

#include "interp/program_start.h"

namespace quillon {

class WindowsProgramStarter : public ProgramStarter {
public:
    std::shared_ptr<ProcessSystem> process_system() override;
    std::string current_folder() override;
    bool set_current_folder(const std::string& folder) override;
    std::function<void(const std::function<void()>&)> thread_frame() override;
    bool write_light_mode_setup(const std::string& script_file, const std::string& target) override;
    std::string engine_folder() override;
    bool file_exists(const std::string& path) override;
    bool move_file(const std::string& from, const std::string& to) override;
    bool copy_file(const std::string& from, const std::string& to) override;
    bool delete_file(const std::string& path) override;
};

} // namespace quillon
