#pragma once

// The benchmarks of tandrill_bench, registered in the order the table lists them, and the names
// the table's targets refer to.

inline constexpr const char *kBaselineName = "baseline/push_file_ops";
inline constexpr const char *kPushName = "engine/push";
inline constexpr const char *kPullName = "engine/pull";
inline constexpr const char *kAutoInSyncName = "engine/auto_in_sync";
inline constexpr const char *kRefreshUnchangedName = "refresh/unchanged";
inline constexpr const char *kPropagationSharedName = "propagation: shared change → Dock applied";
inline constexpr const char *kPropagationLocalName = "propagation: local change → shared copy";

void registerBaselineBenchmarks();
void registerEngineBenchmarks();
void registerRefreshBenchmarks();
void registerPropagationBenchmarks();
