#include "engine/sdl/audio_module.h"

#include <libopenmpt/libopenmpt.h>

#include <fstream>
#include <iterator>

namespace {

// libopenmpt's own messages are not ours to print: the engine reports one line
// per failed load, with the reason from the error callback.
void IgnoreLog(const char*, void*) {}

openmpt_module* CreateModule(const std::vector<std::uint8_t>& bytes, std::string& error) {
    int code = 0;
    const char* message = nullptr;
    openmpt_module* module =
        openmpt_module_create_from_memory2(bytes.data(), bytes.size(), &IgnoreLog, nullptr,
                                           &openmpt_error_func_store, nullptr, &code, &message, nullptr);
    if (!module) {
        error = message && *message ? message : "not a module libopenmpt can play";
        if (code != OPENMPT_ERROR_OK && (!message || !*message)) error = openmpt_error_string(code);
    }
    if (message) openmpt_free_string(message);
    return module;
}

}  // namespace

void ModulePlayer::Closer::operator()(void* module) const {
    openmpt_module_destroy(static_cast<openmpt_module*>(module));
}

bool ReadModuleFile(const char* path, std::vector<std::uint8_t>& bytes, std::string& error) {
    bytes.clear();
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        error = "cannot open file";
        return false;
    }
    const std::streamoff size = file.tellg();
    if (size <= 0 || static_cast<std::uint64_t>(size) > MaxModuleBytes) {
        error = size <= 0 ? "empty file" : "file too large";
        return false;
    }
    file.seekg(0);
    bytes.resize(static_cast<std::size_t>(size));
    if (!file.read(reinterpret_cast<char*>(bytes.data()), size)) {
        error = "cannot read file";
        bytes.clear();
        return false;
    }
    const int known =
        openmpt_probe_file_header(OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, bytes.data(), bytes.size(),
                                  bytes.size(), &IgnoreLog, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (known != OPENMPT_PROBE_FILE_HEADER_RESULT_SUCCESS) {
        error = "not a module libopenmpt can play";
        bytes.clear();
        return false;
    }
    return true;
}

std::optional<double> ModuleSeconds(const std::vector<std::uint8_t>& bytes) {
    std::string error;
    openmpt_module* module = CreateModule(bytes, error);
    if (!module) return std::nullopt;
    const double seconds = openmpt_module_get_duration_seconds(module);
    openmpt_module_destroy(module);
    return seconds;
}

bool ModulePlayer::Open(const std::vector<std::uint8_t>& bytes, bool loop, int order, int row,
                        std::string& error) {
    openmpt_module* created = CreateModule(bytes, error);
    module.reset(created);
    if (!created) return false;
    openmpt_module_set_repeat_count(created, loop ? -1 : 0);
    if (order >= 0) openmpt_module_set_position_order_row(created, order, row > 0 ? row : 0);
    return true;
}

std::size_t ModulePlayer::Render(std::int16_t* out, std::size_t frames, int sampleRate) {
    if (!module) return 0;
    return openmpt_module_read_interleaved_stereo(static_cast<openmpt_module*>(module.get()), sampleRate,
                                                  frames, out);
}
