// Runs a fuzz target over the inputs of a corpus, without libFuzzer: each
// argument is a file or a folder of files. Built with the project compiler it
// is an ordinary test; a failing input aborts it.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
bool runFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file() && runFile(entry.path()))
                    ++inputs;
        } else if (runFile(path)) {
            ++inputs;
        }
    }
    std::printf("%d inputs replayed\n", inputs);
    // An empty or missing corpus is a broken test, not a pass.
    return inputs > 0 ? 0 : 1;
}
