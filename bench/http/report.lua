-- Prints what wrk measured as one JSON line, for bench/http/run.
done = function(summary, latency, requests)
  io.write(string.format(
    '{"requests":%d,"duration_us":%d,"bytes":%d,"connect_errors":%d,"read_errors":%d,' ..
    '"write_errors":%d,"status_errors":%d,"timeouts":%d,"p50_us":%d,"p99_us":%d}\n',
    summary.requests, summary.duration, summary.bytes, summary.errors.connect,
    summary.errors.read, summary.errors.write, summary.errors.status, summary.errors.timeout,
    latency:percentile(50), latency:percentile(99)))
end
