// What the benchmark programs share: a clock, summary figures, and pictures
// written for them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace benchsupport {

// Milliseconds on the performance counter.
double nowMs();

struct Stats {
    double median, p10, p90, min, max;
};
Stats statsOf(std::vector<double> v); // v must not be empty
double median(std::vector<double> v); // 0 when empty
void print(const char *what, const Stats &s);

// A photograph-like JPEG scene: smooth gradients with some texture, so that
// the file is of a realistic size rather than nearly empty. GDI+ must be
// running. False when it could not be written.
bool writeScene(const std::string &path, int width, int height, int seed);
// A folder of `count` such JPEGs named p001.jpg on: a few distinct scenes,
// copied round to the count. The paths, or none when one could not be written.
std::vector<std::string> sceneFolder(const std::string &dir, int count, int width, int height);
// The files of a folder (no sub-folders), in the order the platform lists
// them, each as dir\name.
std::vector<std::string> folderFiles(const std::string &dir);

// 32-bit pixel words (0xAARRGGBB), top row first.
struct Pixels {
    long width = 0, height = 0;
    std::vector<std::uint32_t> px;
};
// A bitmap's pixels read out through the platform; width 0 when it cannot be.
Pixels pixelsOf(void *hbitmap);
// The yardstick for reduced pictures: the exact area average of the
// colours to width x height, in doubles, straight from the definition
// (each result pixel the mean of the source area it covers, cut pixels
// counted by the part covered). Red, green and blue per pixel.
std::vector<double> referenceAverage(const Pixels &from, long width, long height);
// The mean difference in levels per colour channel between a picture and
// such a yardstick of its size.
double meanLevelDifference(const Pixels &picture, const std::vector<double> &reference);

// A thread that sends the window one message after another until stopped:
// the longest answer is the longest the window's thread went without
// taking a message.
class Pinger {
  public:
    Pinger();
    ~Pinger();
    void aimAt(void *hwnd); // the window, once it exists
    double stop();          // ms, the longest answer
  private:
    struct State;
    State *state_;
};

} // namespace benchsupport
