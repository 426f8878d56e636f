// Lighthouse's audit of the browser page, served by web/serve.js: RUNS runs
// with each of Lighthouse's presets, mobile (its default: a phone's screen,
// 4x CPU slowdown and slow 4G, both simulated) and desktop, each run in a new
// headless Chromium with a fresh profile (tools/browsers/browsers.js), which
// Lighthouse drives through the browser's DevTools port. Prints, per preset,
// each run's category scores, their medians, the medians of the main metrics
// and the audits that fall short in any run, the long tasks of the run with
// the median performance score, and what performance would score if the
// task that runs the program's main (its WebGL context's creation and init,
// which the page measures as "main") blocked nothing.
// Usage: node bench/web_audit.mjs DIR [RUNS]   (DIR: the folder to serve)
import fs from 'fs';
import path from 'path';
import b from '../tools/browsers/browsers.js';
import lighthouse from './audit/node_modules/lighthouse/core/index.js';
import desktopConfig from './audit/node_modules/lighthouse/core/config/desktop-config.js';
import { Audit } from './audit/node_modules/lighthouse/core/audits/audit.js';
import TotalBlockingTime from './audit/node_modules/lighthouse/core/audits/metrics/total-blocking-time.js';

const CATEGORIES = ['performance', 'accessibility', 'best-practices', 'seo'];
const PRESETS = [['mobile', undefined], ['desktop', desktopConfig]];
const seconds = (ms) => `${(ms / 1000).toFixed(1)} s`;
const METRICS = [['first-contentful-paint', 'FCP', seconds], ['largest-contentful-paint', 'LCP', seconds],
  ['total-blocking-time', 'TBT', (ms) => `${Math.round(ms)} ms`], ['cumulative-layout-shift', 'CLS', (v) => v.toFixed(3)],
  ['speed-index', 'Speed Index', seconds]];
// Audits whose score does not count: Lighthouse shows them without a pass or a fail.
const UNCOUNTED = new Set(['informative', 'notApplicable', 'manual']);

// Set once the process is ending (a signal, or main done): no browser is
// started after that. Lighthouse leaves some of its requests unawaited (its
// wait for the CPU to go idle, say), which fail as expected when browsers.js
// closes a browser under it then; they must not end the process before the
// browsers are closed and their profiles removed. Any other such failure is
// shown, and the run's own result decides.
let ending = false;
['SIGINT', 'SIGTERM', 'SIGHUP'].forEach((signal) => process.on(signal, () => { ending = true; }));
process.on('unhandledRejection', (reason) => {
  if (!ending) console.error(`web_audit.mjs: Lighthouse, unawaited: ${reason?.message ?? reason}`);
});

// The middle value (the upper one of two).
const median = (values) => values.sort((x, y) => x - y)[values.length >> 1];
const scores = (values) => CATEGORIES.map((category, i) => `${category} ${Math.round(values[i] * 100)}`).join(', ');
const categoryScores = (lhr) => CATEGORIES.map((category) => lhr.categories[category].score);

// The browser's DevTools port: started with --remote-debugging-port=0,
// Chromium picks a free one and writes it on the first line of
// DevToolsActivePort in its profile.
async function devToolsPort(browser) {
  const profile = browser.process().spawnargs.find((arg) => arg.startsWith('--user-data-dir=')).split('=')[1];
  const file = path.join(profile, 'DevToolsActivePort');
  for (let tries = 0; tries < 100; tries++) {
    const port = fs.existsSync(file) && Number(fs.readFileSync(file, 'utf8').split('\n')[0]);
    if (port > 0) return port;
    await new Promise((done) => setTimeout(done, 100));
  }
  throw new Error('Chromium opened no DevTools port within 10 s: check that /usr/bin/chromium starts');
}

// One Lighthouse run of CONFIG (undefined: the mobile default) in a new
// browser: its result (LHR) and the browser's version. A run that could not
// measure the page (no scores) is an error.
async function audit(url, config) {
  if (ending) throw new Error('stopped');
  const browser = await b.launch('chromium', { args: ['--remote-debugging-port=0'] });
  const version = await browser.version();
  const { lhr } = await lighthouse(url, { hostname: '127.0.0.1', port: await devToolsPort(browser),
    logLevel: 'error', onlyCategories: CATEGORIES }, config);
  await b.closeBrowser(browser);
  if (lhr.runtimeError) throw new Error(`Lighthouse (${lhr.runtimeError.code}): ${lhr.runtimeError.message}`);
  return [lhr, version];
}

function settingsOf({ configSettings: { screenEmulation: screen, throttling, throttlingMethod } }) {
  return `${screen.width}x${screen.height} screen, ${throttling.cpuSlowdownMultiplier}x CPU slowdown, ` +
    `${throttling.rttMs} ms RTT, ${Math.round(throttling.throughputKbps)} kb/s, throttling: ${throttlingMethod}`;
}

// The audits of the four categories that fall short (a score below 1 that
// counts) in any run: in how many runs, the score and value of the median one
// of those, and the audit's weight in its category's score.
function shortfalls(lhrs) {
  const lines = [];
  for (const category of CATEGORIES) {
    const weights = new Map(lhrs.flatMap((lhr) => lhr.categories[category].auditRefs)
      .map((ref) => [ref.id, ref.weight]));
    for (const [id, weight] of weights) {
      const short = lhrs.map((lhr) => lhr.audits[id])
        .filter((one) => typeof one.score === 'number' && one.score < 1 && !UNCOUNTED.has(one.scoreDisplayMode))
        .sort((x, y) => x.score - y.score);
      if (!short.length) continue;
      const { score: value, title, displayValue } = short[short.length >> 1];
      lines.push(`    ${category}: ${id} (${short.length}/${lhrs.length} runs, score ${value}, weight ${weight}): ${title}` +
        (displayValue ? ` [${displayValue}]` : ''));
    }
  }
  return lines.length ? lines : ['    none'];
}

// The audits that Lighthouse could not run (no score), in how many runs, and the first one's error.
function failures(lhrs) {
  const failed = new Map();
  for (const one of lhrs.flatMap((lhr) => Object.values(lhr.audits))) {
    if (one.scoreDisplayMode === 'error') failed.set(one.id, [...failed.get(one.id) ?? [], one.errorMessage]);
  }
  return failed.size === 0 ? [] : ['  audits that could not run:', ...[...failed].map(([id, errors]) =>
    `    ${id} (${errors.length}/${lhrs.length} runs): ${errors[0]}`)];
}

// TBT and the performance score without main's task: its blocking time (its
// length as the page measured it, times the preset's CPU slowdown, less 50 ms)
// taken out of TBT, TBT scored again on Lighthouse's curve for the preset, the
// category's weighted mean taken again. Null when the page measured no main.
function withoutMain(lhr) {
  const main = lhr.audits['user-timings'].details?.items?.find((item) => item.name === 'main' && item.timingType === 'Measure');
  if (!main) return null;
  const blocking = Math.max(0, main.duration * lhr.configSettings.throttling.cpuSlowdownMultiplier - 50);
  const tbt = Math.max(0, lhr.audits['total-blocking-time'].numericValue - blocking);
  const { scoring } = TotalBlockingTime.defaultOptions[lhr.configSettings.formFactor];
  const refs = lhr.categories.performance.auditRefs.filter((ref) => ref.weight > 0);
  const score = (ref) => (ref.id === 'total-blocking-time' ? Audit.computeLogNormalScore(scoring, tbt) : lhr.audits[ref.id].score);
  return [tbt, refs.reduce((sum, ref) => sum + ref.weight * score(ref), 0) / refs.reduce((sum, ref) => sum + ref.weight, 0)];
}

// The long tasks of a run (Lighthouse's long-tasks audit, durations as the preset's CPU would take them).
const longTasks = (lhr) => (lhr.audits['long-tasks'].details?.items ?? [])
  .map((task) => `${Math.round(task.duration)} ms ${task.url.split('/').pop()}`).join(', ') || 'none';

async function preset(url, [name, config], runs) {
  const lhrs = [];
  for (let n = 1; n <= runs; n++) {
    const [lhr, version] = await audit(url, config);
    lhrs.push(lhr);
    if (n === 1) console.log(`${name}: ${settingsOf(lhr)}; Lighthouse ${lhr.lighthouseVersion}, ${version}`);
    console.log(`  run ${n}: ${scores(categoryScores(lhr))} (CPU benchmark index ${lhr.environment.benchmarkIndex})`);
    lhr.runWarnings.forEach((warning) => console.log(`    warning: ${warning}`));
  }
  const medians = CATEGORIES.map((_, i) => median(lhrs.map((lhr) => categoryScores(lhr)[i])));
  console.log(`${name}, median of ${runs}: ${scores(medians)}`);
  console.log(`  metrics, median of ${runs}: ` + METRICS.map(([id, label, format]) =>
    `${label} ${format(median(lhrs.map((lhr) => lhr.audits[id].numericValue)))}`).join(', '));
  console.log('  audits that fall short:');
  shortfalls(lhrs).forEach((line) => console.log(line));
  failures(lhrs).forEach((line) => console.log(line));
  const middle = [...lhrs].sort((x, y) => x.categories.performance.score - y.categories.performance.score)[lhrs.length >> 1];
  console.log(`  long tasks of the median run: ${longTasks(middle)}`);
  const without = lhrs.map(withoutMain).filter(Boolean);
  if (without.length) {
    console.log(`  without main's task (the WebGL context's creation and init), median of ${without.length}: ` +
      `TBT ${Math.round(median(without.map(([tbt]) => tbt)))} ms, performance ${Math.round(median(without.map(([, score]) => score)) * 100)}`);
  }
}

async function main([dir, runs = '3']) {
  if (!dir || dir.startsWith('-') || !/^[1-9][0-9]*$/.test(runs)) {
    console.log('usage: node bench/web_audit.mjs DIR [RUNS]   (DIR: the folder to serve)');
    return dir === '-h' || dir === '--help' ? 0 : 2;
  }
  const url = await b.startServer(dir);
  for (const which of PRESETS) await preset(url + 'index.html', which, Number(runs));
  return 0;
}

b.run(() => main(process.argv.slice(2)).finally(() => { ending = true; }));
