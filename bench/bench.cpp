// Times the repair against the XML reader alone on its text and a durable
// copy of the same file, --any-file against a durable copy that takes the
// file's place, the naive repair (read whole, replace, write whole) and a
// tr | sed pipeline, and checks that all of them write the same bytes.
//
//   quillmend-bench [--sizes 1,16,256,1024] [--runs N] [--dir FOLDER]
//
// For each size: the exports of every variant (utf8 and macroman at every
// size; clean and dirty at 256 MiB) are generated once, then the methods run
// in turn on fresh copies: each durable copy and what is held against it N
// times (7), in alternating order, the slow comparisons 3 times (once at
// 256 MiB and above). Printed per method: the median wall time, its ratio to
// the durable copy, throughput, peak resident memory and CPU time; last, the
// targets with PASS or MISS. The exit status is 0 when every target is met.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// How long the disk is left to itself before each timed run.
constexpr std::chrono::milliseconds kSettle{1500};

struct Measurement {
    double seconds = 0;
    long peakKiB = 0;
    int exitCode = 0;
    double cpuSeconds = 0; // user and system time of it and everything it starts
};

// Runs `argv` and measures it: wall time, and the peak resident memory of
// it and everything it starts (an intermediate process collects that).
Measurement measure(const std::vector<std::string>& argv)
{
    int channel[2];
    if (pipe(channel) != 0)
        std::exit(1);
    const auto start = std::chrono::steady_clock::now();
    const pid_t collector = fork();
    if (collector == 0) {
        close(channel[0]);
        const pid_t child = fork();
        if (child == 0) {
            // What the commands print would only garble the table.
            const int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, STDOUT_FILENO);
            std::vector<char*> args;
            for (const std::string& arg : argv)
                args.push_back(const_cast<char*>(arg.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
        const long cpuMicroseconds = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000L + usage.ru_utime.tv_usec
            + usage.ru_stime.tv_usec;
        const long result[3] = {usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : 128, cpuMicroseconds};
        if (write(channel[1], result, sizeof result) != sizeof result)
            _exit(1);
        _exit(0);
    }
    close(channel[1]);
    long result[3] = {0, 1, 0};
    if (read(channel[0], result, sizeof result) != sizeof result)
        result[1] = 1;
    close(channel[0]);
    waitpid(collector, nullptr, 0);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return {elapsed.count(), result[0], int(result[1]), double(result[2]) / 1e6};
}

bool run(const std::vector<std::string>& argv)
{
    return measure(argv).exitCode == 0;
}

bool sameContent(const std::string& a, const std::string& b)
{
    std::ifstream left(a, std::ios::binary);
    std::ifstream right(b, std::ios::binary);
    std::vector<char> x(1 << 20), y(1 << 20);
    while (left && right) {
        left.read(x.data(), std::streamsize(x.size()));
        right.read(y.data(), std::streamsize(y.size()));
        if (left.gcount() != right.gcount() || std::memcmp(x.data(), y.data(), std::size_t(left.gcount())) != 0)
            return false;
    }
    return left.eof() && right.eof();
}

double fileMiB(const std::string& path)
{
    struct stat status {};
    stat(path.c_str(), &status);
    return double(status.st_size) / (1 << 20);
}

struct Result {
    double seconds = 0;
    double peakMiB = 0;
    double cpuSeconds = 0;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// What a method's runs are for: the floors are the durable writes that the
// repair and --any-file are held against, and each runs as often as what is
// held against it, taking turns with it.
enum class Role { Floor, Repair, AnyFileFloor, AnyFile, Comparison };

struct Method {
    std::string name;
    // Builds the command for one run: input, output (the work copy for the
    // in-place repair), and whether it applies to the variant at all.
    std::vector<std::string> (*command)(const std::string& input, const std::string& output);
    bool legacyEncodings;
    bool inPlace;
    Role role;
};

std::string trSedScript(const std::string& input, const std::string& output)
{
    return "LC_ALL=C tr -d '\\000-\\011\\013\\014\\016-\\037' < '" + input
        + "' | LC_ALL=C sed 's/<AppStamp>Vectorworks<\\/AppStamp>/<AppStamp>Marlowbrook<\\/AppStamp>/g' > '" + output
        + "'";
}

} // namespace

int main(int argc, char* argv[])
{
    std::vector<int> sizes = {1, 16, 256, 1024};
    int runs = 0;
    std::string folder = "bench-work";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--sizes" && i + 1 < argc) {
            sizes.clear();
            std::stringstream list(argv[++i]);
            for (std::string item; std::getline(list, item, ',');)
                sizes.push_back(std::stoi(item));
        } else if (arg == "--runs" && i + 1 < argc) {
            runs = std::stoi(argv[++i]);
        } else if (arg == "--dir" && i + 1 < argc) {
            folder = argv[++i];
        } else {
            std::fprintf(stderr, "usage: quillmend-bench [--sizes 1,16,256,1024] [--runs N] [--dir FOLDER]\n");
            return 64;
        }
    }
    mkdir(folder.c_str(), 0755);

    const std::vector<Method> methods = {
        {"durable copy (dd conv=fsync)",
         [](const std::string& in, const std::string& out) {
             return std::vector<std::string>{"dd", "if=" + in, "of=" + out, "bs=4M", "conv=fsync", "status=none"};
         },
         true, false, Role::Floor},
        {"quillmend-cli",
         [](const std::string&, const std::string& out) {
             return std::vector<std::string>{QUILLMEND_CLI, out};
         },
         true, true, Role::Repair},
        // What any program that rewrites a file durably, keeping nothing,
        // does at the least: the copy, and the file it replaces let go.
        {"durable copy over the file (dd, mv)",
         [](const std::string& in, const std::string& out) {
             return std::vector<std::string>{"sh", "-c",
                                             "dd if='" + in + "' of='" + out
                                                 + ".new' bs=4M conv=fsync status=none && mv '" + out + ".new' '" + out
                                                 + "'"};
         },
         true, true, Role::AnyFileFloor},
        {"quillmend-cli --any-file",
         [](const std::string&, const std::string& out) {
             return std::vector<std::string>{QUILLMEND_CLI, "--any-file", out};
         },
         true, true, Role::AnyFile},
        {"naive read-whole, replace, write-whole",
         [](const std::string& in, const std::string& out) {
             return std::vector<std::string>{QUILLMEND_REFERENCE, in, out};
         },
         true, false, Role::Comparison},
        {"tr | sed",
         [](const std::string& in, const std::string& out) {
             return std::vector<std::string>{"sh", "-c", trSedScript(in, out)};
         },
         false, false, Role::Comparison},
    };

    std::map<std::pair<std::string, int>, std::map<std::string, Result>> results;
    std::map<int, double> bareParse; // libxml2 alone on the repaired UTF-8 export, by size
    bool identical = true;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("%-9s %-9s %-40s %5s %9s %10s %8s %9s %7s\n", "size MiB", "variant", "method", "runs", "median s",
                "x durable", "MiB/s", "peak MiB", "cpu s");
    for (const int size : sizes) {
        std::vector<std::string> variants = {"utf8", "macroman", "utf16", "stray"};
        if (size == 256)
            variants.insert(variants.end(), {"clean", "dirty"});
        // The copy and the repair, which the targets compare, run in turn and
        // often; the slow comparisons fewer times.
        const int mainRuns = runs > 0 ? runs : 7;
        const int otherRuns = size >= 256 ? 1 : 3;
        for (const std::string& variant : variants) {
            const std::string input = folder + "/input-" + variant + "-" + std::to_string(size) + ".xml";
            if (!run({QUILLMEND_GENERATE, variant, std::to_string(size), input}))
                return 1;
            const double inputMiB = fileMiB(input);
            std::vector<std::vector<double>> times(methods.size());
            std::vector<std::vector<double>> cpuTimes(methods.size());
            std::vector<long> peaks(methods.size(), 0);
            for (int r = 0; r < mainRuns; ++r) {
                // What the round before wrote goes first, for all methods at
                // once: on a file system that discards freed blocks, deleting
                // a GiB keeps the disk busy for a while after.
                const auto runsThisRound = [&](std::size_t m) {
                    // The cleaner without its check is held against the copy
                    // over the file, on the one text.
                    const Role role = methods[m].role;
                    if (role == Role::AnyFile || role == Role::AnyFileFloor)
                        return variant == "utf8";
                    const bool compared = role != Role::Comparison;
                    // The plain comparisons know neither a byte-order mark nor stray bytes.
                    if ((variant == "utf16" || variant == "stray") && !compared)
                        return false;
                    return !(variant == "macroman" && !methods[m].legacyEncodings) && (compared || r < otherRuns);
                };
                for (std::size_t m = 0; m < methods.size(); ++m) {
                    if (!runsThisRound(m))
                        continue;
                    unlink((folder + "/output-" + std::to_string(m) + ".xml").c_str());
                    unlink((folder + "/output-" + std::to_string(m) + " (Original).xml").c_str());
                }
                for (std::size_t step = 0; step < methods.size(); ++step) {
                    // Each floor and what is held against it (listed in
                    // pairs) swap places every round, so that neither always
                    // follows what the other left the disk doing.
                    const std::size_t m = step <= 3 && r % 2 == 1 ? step ^ 1 : step;
                    const Method& method = methods[m];
                    if (!runsThisRound(m))
                        continue;
                    const std::string output = folder + "/output-" + std::to_string(m) + ".xml";
                    if (method.inPlace && !run({"cp", input, output}))
                        return 1;
                    // Each method starts on a disk that has finished what came
                    // before, so that none pays for another's writes.
                    sync();
                    std::this_thread::sleep_for(kSettle);
                    const Measurement measured = measure(method.command(input, output));
                    if (measured.exitCode != 0) {
                        std::fprintf(stderr, "%s failed with %d\n", method.name.c_str(), measured.exitCode);
                        return 1;
                    }
                    times[m].push_back(measured.seconds);
                    cpuTimes[m].push_back(measured.cpuSeconds);
                    peaks[m] = std::max(peaks[m], measured.peakKiB);
                }
            }
            for (std::size_t m = 0; m < methods.size(); ++m) {
                if (times[m].empty())
                    continue;
                const std::string output = folder + "/output-" + std::to_string(m) + ".xml";
                // The copy is the floor, not a repair: it is not compared.
                // Decoded, the utf16 and stray texts are the utf8 one: so is their repair.
                if (methods[m].role == Role::Repair && (variant == "utf16" || variant == "stray")
                    && !sameContent(folder + "/repaired-utf8.xml", output)) {
                    std::printf("!! quillmend-cli wrote other bytes for %s than for utf8, %d MiB\n", variant.c_str(),
                                size);
                    identical = false;
                }
                if (methods[m].role == Role::Comparison && !sameContent(folder + "/output-1.xml", output)) {
                    std::printf("!! %s wrote other bytes than quillmend-cli for %s, %d MiB\n", methods[m].name.c_str(),
                                variant.c_str(), size);
                    identical = false;
                }
                Result& result = results[{variant, size}][methods[m].name];
                result = {median(times[m]), double(peaks[m]) / 1024, median(cpuTimes[m])};
                const double durable = results[{variant, size}][methods.front().name].seconds;
                std::printf("%-9d %-9s %-40s %5zu %9.3f %10.2f %8.0f %9.0f %7.3f\n", size, variant.c_str(),
                            methods[m].name.c_str(), times[m].size(), result.seconds, result.seconds / durable,
                            inputMiB / result.seconds, result.peakMiB, result.cpuSeconds);
            }
            // The report with its XML check, beside the XML reader's bare time
            // on the same repaired text.
            if (variant == "utf8") {
                const Measurement check = measure({QUILLMEND_CLI, "--check", input});
                // As the repair is timed: on a disk that has finished what
                // came before, as often.
                Measurement parse;
                std::vector<double> parseTimes;
                for (int run = 0; run < mainRuns; ++run) {
                    sync();
                    std::this_thread::sleep_for(kSettle);
                    parse = measure({QUILLMEND_PARSE_XML, folder + "/output-1.xml"});
                    parseTimes.push_back(parse.seconds);
                }
                parse.seconds = median(parseTimes);
                bareParse[size] = parse.seconds;
                std::printf("%-9d %-9s %-40s %5d %9.3f %10.2f %8.0f %9.0f %7.3f\n", size, variant.c_str(),
                            "quillmend-cli --check", 1, check.seconds,
                            check.seconds / results[{variant, size}][methods.front().name].seconds,
                            inputMiB / check.seconds, double(check.peakKiB) / 1024, check.cpuSeconds);
                std::printf("%-9d %-9s %-40s %5d %9.3f %10.2f %8.0f %9.0f %7.3f\n", size, variant.c_str(),
                            "XML reader alone (libxml2)", mainRuns, parse.seconds,
                            parse.seconds / results[{variant, size}][methods.front().name].seconds,
                            inputMiB / parse.seconds, double(parse.peakKiB) / 1024, parse.cpuSeconds);
            }
            unlink(input.c_str());
            if (variant == "utf8")
                rename((folder + "/output-1.xml").c_str(), (folder + "/repaired-utf8.xml").c_str());
            for (std::size_t m = 0; m < methods.size(); ++m) {
                unlink((folder + "/output-" + std::to_string(m) + ".xml").c_str());
                unlink((folder + "/output-" + std::to_string(m) + " (Original).xml").c_str());
            }
        }
        unlink((folder + "/repaired-utf8.xml").c_str());
    }

    std::printf("\nTargets\n");
    bool allMet = identical;
    const auto target = [&](const std::string& what, double value, double limit) {
        const bool met = value <= limit;
        allMet = allMet && met;
        std::printf("  %-58s %8.2f <= %-8.2f %s\n", what.c_str(), value, limit, met ? "PASS" : "MISS");
    };
    const std::string cli = "quillmend-cli";
    const std::string anyFile = "quillmend-cli --any-file";
    const std::string dd = "durable copy (dd conv=fsync)";
    const std::string ddOver = "durable copy over the file (dd, mv)";
    // A repair that reads its text as XML cannot be faster than the XML
    // reader alone on that text: every encoding's repair is held against
    // libxml2's bare reading of the repaired text (the same for each), at
    // 16 MiB with the start of a process and the durable write around it
    // (at 1 MiB those are most of the time, and nothing is held to).
    // The cleaner that checks nothing, which keeps no original, is held
    // against a durable copy that takes the file's place.
    for (const auto& [key, byMethod] : results) {
        const auto& [variant, size] = key;
        const std::string at = variant + ", " + std::to_string(size) + " MiB: ";
        const auto parse = bareParse.find(size);
        if (size >= 16 && parse != bareParse.end() && variant != "clean" && variant != "dirty")
            target(at + "repair / XML reader alone", byMethod.at(cli).seconds / parse->second,
                   size >= 256 ? 1.10 : 1.5);
        if (size >= 256 && byMethod.count(anyFile))
            target(at + "--any-file / durable copy over the file",
                   byMethod.at(anyFile).seconds / byMethod.at(ddOver).seconds, 1.25);
        target(at + "peak MiB", byMethod.at(cli).peakMiB, 64);
    }
    // The same text as UTF-16 and as UTF-8: decoding it costs next to nothing.
    for (const int size : {256, 1024}) {
        const auto utf16 = results.find({"utf16", size});
        const auto utf8 = results.find({"utf8", size});
        if (utf16 != results.end() && utf8 != results.end())
            target("utf16, " + std::to_string(size) + " MiB: repair / utf8's",
                   utf16->second.at(cli).seconds / utf8->second.at(cli).seconds, 1.15);
    }
    // An entity of 1 MB referenced 100,000 times, in a file of 1.3 MB: its
    // text is judged once, so the check takes no longer than a reader that
    // keeps what it made of it (xmllint, from libxml2-utils).
    if (run({"sh", "-c", "command -v xmllint > /dev/null"})) {
        const std::string entities = folder + "/entities.xml";
        if (FILE* out = std::fopen(entities.c_str(), "wb")) {
            std::fprintf(out, "<?xml version=\"1.0\"?>\n<!DOCTYPE d [<!ENTITY e \"%s\">]>\n<d>",
                         std::string(1000000, 'x').c_str());
            for (int reference = 0; reference < 100000; ++reference)
                std::fputs("&e;", out);
            std::fputs("</d>\n<!-- <Action>Entire Plot</Action> -->\n", out);
            std::fclose(out);
        }
        std::vector<double> checks;
        std::vector<double> readers;
        for (int i = 0; i < 3; ++i) {
            checks.push_back(measure({QUILLMEND_CLI, "--check", entities}).seconds);
            readers.push_back(measure({"xmllint", "--noout", entities}).seconds);
        }
        std::printf("\nEntity expansion: --check %.3f s, xmllint --noout %.3f s\n", median(checks), median(readers));
        target("1 MB entity x 100,000: --check / xmllint --noout", median(checks) / median(readers), 2.0);
        unlink(entities.c_str());
    }
    for (const std::string variant : {"utf8", "macroman", "utf16", "stray"}) {
        const auto small = results.find({variant, 256});
        const auto large = results.find({variant, 1024});
        if (small == results.end() || large == results.end())
            continue;
        target(variant + ": time at 1024 MiB / time at 256 MiB",
               large->second.at(cli).seconds / small->second.at(cli).seconds, 4.5);
        // What the repair itself does grows with the file; the disk need not.
        std::printf("  %-58s %8.2f\n", (variant + ": for comparison, the same for its CPU time").c_str(),
                    large->second.at(cli).cpuSeconds / small->second.at(cli).cpuSeconds);
        std::printf("  %-58s %8.2f\n", (variant + ": and for the durable copy's time").c_str(),
                    large->second.at(dd).seconds / small->second.at(dd).seconds);
    }
    std::printf("\nOutputs identical: %s\n", identical ? "yes" : "NO");
    return allMet ? 0 : 3;
}
