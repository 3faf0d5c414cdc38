// Holds files the way a virus scanner or a sync client does, for the Windows journeys: each file
// that appears or changes in the watched folders is opened for reading, sharing reading and
// writing but not deletion, for a while, then let go.
// Usage: file_holder <seconds to run> <milliseconds to hold> <folder>...

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Seen {
    ULONGLONG written = 0;
    ULONGLONG size = 0;
};

struct Held {
    HANDLE handle;
    std::chrono::steady_clock::time_point until;
};

ULONGLONG Join(DWORD high, DWORD low)
{
    return (static_cast<ULONGLONG>(high) << 32) | low;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4)
        return 64;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(_wtoi(argv[1]));
    const auto hold = std::chrono::milliseconds(_wtoi(argv[2]));
    std::map<std::wstring, Seen> seen;
    std::vector<Held> held;
    unsigned long opened = 0;
    while (std::chrono::steady_clock::now() < end) {
        for (int i = 3; i < argc; ++i) {
            const std::wstring folder = argv[i];
            WIN32_FIND_DATAW found{};
            HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
            if (search == INVALID_HANDLE_VALUE)
                continue;
            do {
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    continue;
                const std::wstring path = folder + L"\\" + found.cFileName;
                const Seen now{Join(found.ftLastWriteTime.dwHighDateTime, found.ftLastWriteTime.dwLowDateTime),
                               Join(found.nFileSizeHigh, found.nFileSizeLow)};
                auto [it, fresh] = seen.emplace(path, now);
                if (!fresh && it->second.written == now.written && it->second.size == now.size)
                    continue;
                it->second = now;
                HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                if (handle != INVALID_HANDLE_VALUE) {
                    held.push_back({handle, std::chrono::steady_clock::now() + hold});
                    ++opened;
                }
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        const auto now = std::chrono::steady_clock::now();
        std::erase_if(held, [&](const Held& h) {
            if (h.until > now)
                return false;
            CloseHandle(h.handle);
            return true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (const Held& h : held)
        CloseHandle(h.handle);
    std::printf("file_holder: held %lu files\n", opened);
    return 0;
}
