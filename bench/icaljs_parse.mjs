// The peer: ical.js parsing a card file, reading the file included in each run. Prints
// the best and the median time in milliseconds on one line.
// Usage: node icaljs_parse.mjs MODULE_DIR FILE RUNS
import { readFileSync } from "node:fs";
import { pathToFileURL } from "node:url";
import { join } from "node:path";

const [moduleDir, file, runsText] = process.argv.slice(2);
const ICAL = (await import(pathToFileURL(join(moduleDir, "ical.js", "dist", "ical.js")).href)).default;
const runs = Number(runsText) || 7;

const times = [];
for (let i = 0; i < runs; ++i) {
  const start = process.hrtime.bigint();
  const parsed = ICAL.parse(readFileSync(file, "utf8"));
  const took = Number(process.hrtime.bigint() - start) / 1e6;
  // A parse that gave nothing would make the figure meaningless.
  if (!Array.isArray(parsed) || parsed.length === 0) throw new Error(`ical.js gave nothing for ${file}`);
  times.push(took);
}
times.sort((a, b) => a - b);
const n = times.length;
const median = n % 2 ? times[(n - 1) / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
console.log(`${times[0].toFixed(3)} ${median.toFixed(3)}`);
