// Replays every file of the given corpus folders through a fuzz target, as
// an ordinary test.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
    int files = 0;
    for (int a = 1; a < argc; ++a) {
        DIR* d = opendir(argv[a]);
        if (!d) {
            std::fprintf(stderr, "no corpus folder %s\n", argv[a]);
            return 1;
        }
        while (dirent* e = readdir(d)) {
            std::string path = std::string(argv[a]) + "/" + e->d_name;
            struct stat st {};
            if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
                continue;
            std::ifstream in(path, std::ios::binary);
            std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            ++files;
        }
        closedir(d);
    }
    std::printf("replayed %d inputs\n", files);
    return files > 0 ? 0 : 1;
}
