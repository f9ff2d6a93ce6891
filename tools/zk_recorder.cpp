#include "zk_recorder.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "zk_device.h"
#include "zk_gifwriter.h"
#include "zk_headless.h"
#include "zk_png.h"

namespace {

// Frames kept for the GIF, each as the rows that differ from the frame
// before it: a game changes a few rows a frame, so a long run stays small.
class FrameStore {
public:
    void clear() {
        last_.clear();
        rows_.clear();
        data_.clear();
        count_ = 0;
    }
    void add(const uint16_t* frame) {
        const size_t w = ZK_SCREEN_W, h = ZK_SCREEN_H;
        if (last_.empty()) last_.assign(w * h, 0);
        for (size_t y = 0; y < h; ++y) {
            const uint16_t* row = frame + y * w;
            bool differs = count_ == 0 || std::memcmp(row, last_.data() + y * w, w * 2) != 0;
            rows_.push_back(differs);
            if (differs) {
                data_.insert(data_.end(), row, row + w);
                std::memcpy(last_.data() + y * w, row, w * 2);
            }
        }
        ++count_;
    }
    int size() const { return count_; }

    // Rebuilds the frames in order; frame(0) starts again from the first.
    const uint16_t* frame(int i) {
        const size_t w = ZK_SCREEN_W, h = ZK_SCREEN_H;
        if (i == 0 || i != readIndex_ + 1) {
            read_.assign(w * h, 0);
            readRow_ = readData_ = 0;
            readIndex_ = -1;
            while (readIndex_ < i - 1) step();
        }
        step();
        return read_.data();
    }

private:
    void step() {
        const size_t w = ZK_SCREEN_W, h = ZK_SCREEN_H;
        for (size_t y = 0; y < h; ++y)
            if (rows_[readRow_++]) {
                std::memcpy(read_.data() + y * w, data_.data() + readData_, w * 2);
                readData_ += w;
            }
        ++readIndex_;
    }

    std::vector<uint16_t> last_;
    std::vector<bool> rows_;
    std::vector<uint16_t> data_;
    int count_ = 0;
    std::vector<uint16_t> read_;
    size_t readRow_ = 0, readData_ = 0;
    int readIndex_ = -1;
};

struct Recorder {
    ZkRecordJob job;
    std::vector<ZkScriptEvent> frameEvents;  // sorted by frame, script order kept
    size_t nextEvent = 0;
    int seen = 0;
    bool armed = false;
    bool done = false;
    void (*whenDone)() = nullptr;
    std::vector<bool> pngWritten;
    std::string error;
    FrameStore store;
};

Recorder R;

int gifLast(const ZkRecordJob& job) { return job.gifTo < 0 ? job.frames - 1 : job.gifTo; }

void onPresent(const uint16_t* screen, void*) {
    if (!R.armed || R.done) return;
    const int n = R.seen++;
    while (R.nextEvent < R.frameEvents.size() && R.frameEvents[R.nextEvent].time <= uint32_t(n)) {
        const ZkScriptEvent& e = R.frameEvents[R.nextEvent++];
        zk_headless_event(zk_headless_clock(), e.message, e.x, e.y);
    }
    for (size_t k = 0; k < R.job.pngs.size(); ++k)
        if (R.job.pngs[k].first == n && !R.pngWritten[k]) {
            std::string e;
            if (zk_write_png(R.job.pngs[k].second, screen, ZK_SCREEN_W, ZK_SCREEN_H, e))
                R.pngWritten[k] = true;
            else if (R.error.empty())
                R.error = e;
        }
    if (!R.job.gif.empty() && n >= R.job.gifFrom && n <= gifLast(R.job)) R.store.add(screen);
    if (R.seen >= R.job.frames) {
        R.done = true;
        if (R.whenDone) R.whenDone();
    }
}

bool parseInt(const std::string& s, long lo, long hi, long& out) {
    if (s.empty()) return false;
    size_t used = 0;
    try {
        out = std::stol(s, &used, 10);
    } catch (...) {
        return false;
    }
    return used == s.size() && out >= lo && out <= hi;
}

// splitmix64: a small generator whose sequence is the same everywhere.
uint64_t nextRandom(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

bool zk_parse_script(const std::string& text, ZkRecordJob& job, std::string& error) {
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.empty()) continue;
        auto bad = [&](const std::string& why) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        };
        long a = 0, b = 0;
        if (w[0] == "random") {
            if (w.size() != 3) return bad("expected: random <seed> <taps>");
            if (!parseInt(w[1], 0, 0x7FFFFFFFL, a)) return bad("bad seed '" + w[1] + "'");
            if (!parseInt(w[2], 0, 100000, b)) return bad("bad tap count '" + w[2] + "'");
            job.players.push_back({uint64_t(a), int(b)});
            continue;
        }
        if (w.size() != 4) return bad("expected: <time> down|move|up <x> <y>");
        ZkScriptEvent e{};
        const std::string& t = w[0];
        if (t.size() > 1 && t[0] == 'f' && parseInt(t.substr(1), 0, 0x7FFFFFFFL, a)) {
            e.atFrame = true;
        } else if (t.size() > 2 && t.compare(t.size() - 2, 2, "ms") == 0 &&
                   parseInt(t.substr(0, t.size() - 2), 0, 0xFFFFFFFFL, a)) {
            e.atFrame = false;
        } else {
            return bad("bad time '" + t + "' (f<frame> or <milliseconds>ms)");
        }
        e.time = uint32_t(a);
        if (w[1] == "down")
            e.message = WM_LBUTTONDOWN;
        else if (w[1] == "move")
            e.message = WM_MOUSEMOVE;
        else if (w[1] == "up")
            e.message = WM_LBUTTONUP;
        else
            return bad("bad event '" + w[1] + "' (down, move or up)");
        if (!parseInt(w[2], -32768, 32767, a) || !parseInt(w[3], -32768, 32767, b))
            return bad("bad position '" + w[2] + " " + w[3] + "'");
        e.x = int(a);
        e.y = int(b);
        job.events.push_back(e);
    }
    return true;
}

std::vector<ZkScriptEvent> zk_random_taps(const ZkRandomPlayer& player) {
    std::vector<ZkScriptEvent> out;
    uint64_t state = player.seed;
    uint32_t f = 0;
    for (int i = 0; i < player.taps; ++i) {
        // The gap to this tap (the first from frame 0), then its place.
        // At least 5 frames apart: the layer lets a press through only once the
        // engine has sampled the release before it, up to two frames later,
        // and each tap should be seen at its own frame.
        f += uint32_t((i == 0 ? 1 : 5) + nextRandom(state) % 78);
        int x = int(nextRandom(state) % ZK_SCREEN_W);
        int y = int(24 + nextRandom(state) % (ZK_SCREEN_H - 24));
        out.push_back({true, f, WM_LBUTTONDOWN, x, y});
        out.push_back({true, f + 2, WM_LBUTTONUP, x, y});
    }
    return out;
}

bool zk_check_job(const ZkRecordJob& job, std::string& error) {
    if (job.frames <= 0) {
        error = "the run needs a length (--frames N, N > 0)";
        return false;
    }
    for (const auto& [frame, path] : job.pngs)
        if (frame < 0 || frame >= job.frames) {
            error = "PNG frame " + std::to_string(frame) + " is outside the run (0.." + std::to_string(job.frames - 1) + ")";
            return false;
        }
    if (!job.gif.empty() && (job.gifFrom < 0 || job.gifFrom > gifLast(job) || gifLast(job) >= job.frames)) {
        error = "GIF frames " + std::to_string(job.gifFrom) + ".." + std::to_string(gifLast(job)) +
                " are not inside the run (0.." + std::to_string(job.frames - 1) + ")";
        return false;
    }
    return true;
}

void zk_record_begin(const ZkRecordJob& job, void (*whenDone)()) {
    R.job = job;
    R.frameEvents.clear();
    for (const ZkScriptEvent& e : job.events) {
        if (e.atFrame)
            R.frameEvents.push_back(e);
        else
            zk_headless_event(e.time, e.message, e.x, e.y);
    }
    for (const ZkRandomPlayer& p : job.players)
        for (const ZkScriptEvent& e : zk_random_taps(p)) R.frameEvents.push_back(e);
    std::stable_sort(R.frameEvents.begin(), R.frameEvents.end(),
                     [](const ZkScriptEvent& a, const ZkScriptEvent& b) { return a.time < b.time; });
    R.nextEvent = 0;
    R.seen = 0;
    R.done = false;
    R.whenDone = whenDone;
    R.pngWritten.assign(job.pngs.size(), false);
    R.error.clear();
    R.store.clear();
    R.armed = true;
    zk_headless_on_present(onPresent, nullptr);
}

bool zk_record_done() { return R.done; }
int zk_record_frames_seen() { return R.seen; }

bool zk_record_end(std::string& error) {
    if (R.armed) {
        R.armed = false;
        zk_headless_on_present(nullptr, nullptr);
        for (size_t k = 0; k < R.job.pngs.size(); ++k)
            if (!R.pngWritten[k] && R.error.empty())
                R.error = "frame " + std::to_string(R.job.pngs[k].first) + " was never shown (the program ended after " +
                          std::to_string(R.seen) + " frames)";
        if (!R.job.gif.empty() && R.error.empty()) {
            if (R.store.size() == 0) {
                R.error = "no frame of the GIF's range was shown";
            } else {
                std::string e;
                if (!zk_write_gif(R.job.gif, ZK_SCREEN_W, ZK_SCREEN_H, R.store.size(),
                                  [](int i) { return R.store.frame(i); }, e))
                    R.error = e;
            }
        }
        R.store.clear();
    }
    error = R.error;
    return R.error.empty();
}
