#pragma once

// What every Varnolet benchmark program needs to print honest ratios against its
// reference runs: both sides run several times in random interleaved order (so drift of a
// loaded machine hits both alike), and ratios are taken between the medians of the
// repetitions, never from one repetition or from an aggregate row.

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace varnolet::bench {

// argv with --benchmark_repetitions=<repetitions> and
// --benchmark_enable_random_interleaving=true added unless the caller gave them. The
// returned strings live as long as the vector.
class InterleavedArguments
{
public:
    InterleavedArguments(int argc, char **argv, int repetitions)
    {
        bool hasRepetitions = false;
        bool hasInterleaving = false;
        for (int i = 0; i < argc; ++i) {
            m_storage.emplace_back(argv[i]);
            hasRepetitions =
                hasRepetitions || std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0;
            hasInterleaving =
                hasInterleaving ||
                std::strncmp(argv[i], "--benchmark_enable_random_interleaving", 38) == 0;
        }
        if (!hasRepetitions)
            m_storage.push_back("--benchmark_repetitions=" + std::to_string(repetitions));
        if (!hasInterleaving)
            m_storage.emplace_back("--benchmark_enable_random_interleaving=true");
        for (std::string &argument : m_storage)
            m_pointers.push_back(argument.data());
        m_pointers.push_back(nullptr);
        m_argc = static_cast<int>(m_storage.size());
    }
    int &argc() { return m_argc; }
    char **argv() { return m_pointers.data(); }

private:
    std::vector<std::string> m_storage;
    std::vector<char *> m_pointers;
    int m_argc = 0;
};

// The console output, plus every repetition's time per iteration of each benchmark (name
// and arguments, "BM_Decode/2"), for medians taken after the runs. Aggregate rows (mean,
// median, stddev, cv) and failed runs are not samples.
class MedianReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations <= 0 || run.error_occurred)
                continue;
            const double iterations = static_cast<double>(run.iterations);
            Samples &samples = m_samples[key(run)];
            samples.cpu.push_back(run.cpu_accumulated_time / iterations);
            samples.real.push_back(run.real_accumulated_time / iterations);
            for (const auto &[counter, value] : run.counters)
                samples.counters[counter].push_back(value.value);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Median seconds per iteration over the repetitions; 0 when the benchmark did not run.
    double medianCpu(const std::string &name) const { return median(name, &Samples::cpu); }
    double medianReal(const std::string &name) const { return median(name, &Samples::real); }
    // Median of a user counter over the repetitions; 0 when it was never reported.
    double medianCounter(const std::string &name, const std::string &counter) const
    {
        const auto found = m_samples.find(name);
        if (found == m_samples.end())
            return 0.0;
        const auto values = found->second.counters.find(counter);
        return values == found->second.counters.end() ? 0.0 : median(values->second);
    }
    size_t repetitions(const std::string &name) const
    {
        const auto found = m_samples.find(name);
        return found == m_samples.end() ? 0 : found->second.cpu.size();
    }

    static double median(std::vector<double> values)
    {
        if (values.empty())
            return 0.0;
        std::sort(values.begin(), values.end());
        const size_t middle = values.size() / 2;
        return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    }

private:
    struct Samples
    {
        std::vector<double> cpu;
        std::vector<double> real;
        std::map<std::string, std::vector<double>> counters;
    };

    static std::string key(const Run &run)
    {
        const auto &name = run.run_name;
        return name.args.empty() ? name.function_name : name.function_name + "/" + name.args;
    }
    double median(const std::string &name, std::vector<double> Samples::*which) const
    {
        const auto found = m_samples.find(name);
        return found == m_samples.end() ? 0.0 : median(found->second.*which);
    }

    std::map<std::string, Samples> m_samples;
};

} // namespace varnolet::bench
