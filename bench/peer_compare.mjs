// Reads each pair of files (as the program found it, as `vcardtool format` wrote it) with
// ical.js, an independent RFC 6350 parser, and says whether both mean the same to it: the
// same components, properties, parameters and values, lists and structured values compared
// as the values they hold, so a literal comma turned into a separator shows.
// Usage: node peer_compare.mjs MODULE_DIR BEFORE AFTER [BEFORE AFTER ...]
// Exit status 1 when a pair differs for a reason not explained below.
import { readFileSync } from "node:fs";
import { pathToFileURL } from "node:url";
import { join, basename } from "node:path";

const [moduleDir, ...files] = process.argv.slice(2);
const ICAL = (await import(pathToFileURL(join(moduleDir, "ical.js", "dist", "ical.js")).href)).default;

function meaning(file) {
  let parsed = ICAL.parse(readFileSync(file, "utf8"));
  if (parsed.length > 0 && typeof parsed[0] === "string") parsed = [parsed];
  return JSON.stringify(parsed);
}

function around(text, at) {
  return text.slice(Math.max(0, at - 100), at + 100);
}

// Files whose original ical.js reads otherwise than RFC 6350 does, so that the save,
// which writes what the file meant, reads differently to it. scripts/peer-check sends
// ical.js the files of 4.0 cards alone (vobject reads 2.1 and 3.0), and none of the
// corpus's 4.0 files needs a word here today.
const explained = {
};

let same = 0, differ = 0, skipped = 0, known = 0;
for (let i = 0; i + 1 < files.length; i += 2) {
  const name = basename(files[i]);
  let before, after;
  try {
    before = meaning(files[i]);
  } catch (error) {
    ++skipped;
    console.log(`skip    ${name}: ical.js refuses the original (${error.message.split("\n")[0]})`);
    continue;
  }
  try {
    after = meaning(files[i + 1]);
  } catch (error) {
    after = `ical.js refuses: ${error.message.split("\n")[0]}`;
  }
  if (before === after) {
    ++same;
    console.log(`same    ${name}`);
    continue;
  }
  let at = 0;
  while (at < before.length && before[at] === after[at]) ++at;
  const shown = `\n  before: ${around(before, at)}\n  after:  ${around(after, at)}`;
  if (explained[name]) {
    ++known;
    console.log(`known   ${name}: ${explained[name]}${process.env.PEER_SHOW ? shown : ""}`);
  } else {
    ++differ;
    console.log(`DIFFERS ${name}${shown}`);
  }
}
console.log(`${same} same, ${known} differ as explained, ${differ} differ otherwise, ` +
            `${skipped} refused by ical.js in the original`);
process.exit(differ > 0 ? 1 : 0);
