#include "tests/faults/fault_injector.h"

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace faults {

namespace {

struct Open {
    std::string path;
    bool readOnly;
};

struct State {
    std::mutex lock;
    std::thread::id armingThread;
    long failAt = 0;
    Persistence persistence = Persistence::kTransient;
    Record record;
    std::map<std::intptr_t, Open> open;
    std::map<std::string, FileState> written;
    std::set<std::string> unflushedFolders;
};

// Read before the state exists too: wrapped calls come from start-up code.
std::atomic<bool> g_armed{false};

State& TheState() {
    static State* state = new State;  // never destroyed: wrapped calls may come at exit
    return *state;
}

}  // namespace

const char* OpName(Op op) {
    switch (op) {
        case Op::kOpen:
            return "open";
        case Op::kRead:
            return "read";
        case Op::kWrite:
            return "write";
        case Op::kFlush:
            return "flush";
        case Op::kClose:
            return "close";
        case Op::kDelete:
            return "delete";
        case Op::kCreateFolder:
            return "create folder";
        case Op::kLength:
            return "length";
        case Op::kCopy:
            return "copy";
        case Op::kRename:
            return "rename";
        case Op::kList:
            return "list";
    }
    return "?";
}

void Arm(long failAt, Persistence persistence) {
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.lock);
    s.armingThread = std::this_thread::get_id();
    s.failAt = failAt;
    s.persistence = persistence;
    s.record = Record();
    s.open.clear();
    s.written.clear();
    s.unflushedFolders.clear();
    g_armed = true;
}

Record Disarm() {
    State& s = TheState();
    g_armed = false;
    std::lock_guard<std::mutex> guard(s.lock);
    for (const auto& entry : s.open) {
        s.record.stillOpen.push_back(entry.second.path);
    }
    s.open.clear();
    return s.record;
}

std::atomic<bool> g_copiesEndEarly{false};

void CopiesEndEarly(bool early) {
    g_copiesEndEarly = early;
}

bool CopyEndsEarly() {
    return g_copiesEndEarly;
}

bool Watched() {
    return g_armed && std::this_thread::get_id() != TheState().armingThread;
}

bool Fail(Op op, const std::string& path, bool readOnly) {
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.lock);
    const long number = ++s.record.operations;
    const bool fail =
        s.failAt > 0 &&
        (number == s.failAt || (number > s.failAt && s.persistence == Persistence::kPersistent));
    if (number == s.failAt) {
        s.record.reached = true;
    }
    if (fail) {
        s.record.injected.push_back({op, path, readOnly});
    }
    return fail;
}

void Opened(std::intptr_t handle, const std::string& path, bool readOnly, bool created) {
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.lock);
    s.open[handle] = {path, readOnly};
    if (created) {
        s.written[Normal(path)].dirty = true;
    }
}

bool Lookup(std::intptr_t handle, std::string* path, bool* readOnly) {
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.lock);
    auto found = s.open.find(handle);
    if (found == s.open.end()) {
        return false;
    }
    *path = found->second.path;
    *readOnly = found->second.readOnly;
    return true;
}

void Closed(std::intptr_t handle) {
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.lock);
    s.open.erase(handle);
}

void Wrote(const std::string& path) {
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.lock);
    s.written[Normal(path)].dirty = true;
}

void Flushed(const std::string& path, std::uint64_t size) {
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.lock);
    s.written[Normal(path)] = {size, false};
}

void EntryAdded(const std::string& folder) {
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.lock);
    s.unflushedFolders.insert(Normal(folder));
}

void FolderFlushed(const std::string& folder) {
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.lock);
    s.unflushedFolders.erase(Normal(folder));
}

void Deleted(const std::string& path, bool succeeded) {
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.lock);
    Deletion deletion;
    deletion.path = Normal(path);
    deletion.succeeded = succeeded;
    deletion.written = s.written;
    deletion.unflushedFolders.assign(s.unflushedFolders.begin(), s.unflushedFolders.end());
    s.record.deletions.push_back(deletion);
}

void Renamed(const std::string& from, const std::string& to) {
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.lock);
    const auto moved = s.written.find(Normal(from));
    if (moved != s.written.end()) {
        s.written[Normal(to)] = moved->second;
        s.written.erase(moved);
    }
    s.unflushedFolders.insert(Parent(from));
    s.unflushedFolders.insert(Parent(to));
}

std::string Normal(const std::string& path) {
    std::string normal = path;
    while (normal.size() > 1 && (normal.back() == '/' || normal.back() == '\\')) {
        normal.pop_back();
    }
    return normal;
}

std::string Parent(const std::string& path) {
    const std::string normal = Normal(path);
    const std::size_t slash = normal.find_last_of("/\\");
    return slash == std::string::npos ? "." : slash == 0 ? "/" : normal.substr(0, slash);
}

}  // namespace faults
