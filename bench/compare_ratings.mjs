// Rates the matches of bench/RatingBench.cpp (two teams of five, the first
// team wins) through npm rating packages and through the library's
// benchmark binary, in alternating rounds of one session, and prints CPU
// time per update with the ratios. Run by compare_ratings.sh, which installs
// the packages.
//
// usage: node compare_ratings.mjs <package folder> <bench_RatingBench> <rounds>
import { execFileSync } from 'node:child_process';
import { createRequire } from 'node:module';
import path from 'node:path';

const [packageFolder, benchBinary, roundsText] = process.argv.slice(2);
const rounds = Number(roundsText || 5);
const require = createRequire(path.join(path.resolve(packageFolder), 'node_modules', '.'));
const { rate } = require('openskill');
const { bradleyTerryFull } = require('openskill/models');
const { Glicko2 } = require('glicko2');
const EloRank = require('elo-rank');

// The rosters of RatingBench.cpp.
const eloRed = [[1620, 32], [1480, 24], [1550, 16], [1505, 32], [1590, 20]];
const eloBlue = [[1510, 40], [1700, 10], [1430, 32], [1560, 24], [1490, 16]];
const glickoRed = [[1620, 80, 0.06], [1480, 200, 0.05], [1550, 120, 0.06], [1505, 350, 0.06],
  [1590, 60, 0.058]];
const glickoBlue = [[1510, 50, 0.07], [1700, 300, 0.06], [1430, 120, 0.059], [1560, 90, 0.06],
  [1490, 250, 0.061]];
const bayesRed = [[28, 4], [21, 7], [25, 8.33], [30, 3], [24, 6]];
const bayesBlue = [[26, 2], [23, 5], [19, 8], [27, 4.5], [25, 8.33]];

const mean = (team) => team.reduce((sum, [rating]) => sum + rating, 0) / team.length;

// One team Elo update as the library does it: team means, one expected
// score per side, each player moved by his own K factor.
function eloUpdate(elo) {
  const expectedRed = elo.getExpected(mean(eloRed), mean(eloBlue));
  const expectedBlue = elo.getExpected(mean(eloBlue), mean(eloRed));
  const red = eloRed.map(([rating, k]) => (elo.setKFactor(k), elo.updateRating(expectedRed, 1, rating)));
  const blue = eloBlue.map(([rating, k]) => (elo.setKFactor(k), elo.updateRating(expectedBlue, 0, rating)));
  return red[0] + blue[0];
}

// Every player against every player of the other team in one rating period.
function glickoUpdate() {
  const ranking = new Glicko2({ tau: 0.5 });
  const red = glickoRed.map(([r, rd, vol]) => ranking.makePlayer(r, rd, vol));
  const blue = glickoBlue.map(([r, rd, vol]) => ranking.makePlayer(r, rd, vol));
  const matches = [];
  for (const a of red) for (const b of blue) matches.push([a, b, 1]);
  ranking.updateRatings(matches);
  return red[0].getRating();
}

const bayesOptions = { model: bradleyTerryFull, tau: 0, beta: 25 / 6, rank: [1, 2] };
function bayesUpdate() {
  const teams = [bayesRed.map(([mu, sigma]) => ({ mu, sigma })),
    bayesBlue.map(([mu, sigma]) => ({ mu, sigma }))];
  return rate(teams, bayesOptions)[0][0].mu;
}

// CPU nanoseconds per call, over about a quarter of a second.
function cpuNsPerCall(fn) {
  let sink = 0;
  for (let i = 0; i < 2000; ++i) sink += fn();  // let the compiler settle
  let calls = 1000;
  for (;;) {
    const start = process.cpuUsage();
    for (let i = 0; i < calls; ++i) sink += fn();
    const used = process.cpuUsage(start);
    const us = used.user + used.system;
    if (us > 250000 || !Number.isFinite(sink)) return (us * 1000) / calls;
    calls *= 2;
  }
}

function libraryNsPerCall() {
  const json = execFileSync(benchBinary, ['--benchmark_format=json', '--benchmark_min_time=0.25'],
    { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] });
  const times = {};
  for (const b of JSON.parse(json).benchmarks) times[b.name] = b.cpu_time;  // ns
  return times;
}

const elo = new EloRank(32);
const samples = {};
const add = (name, ns) => (samples[name] ||= []).push(ns);
for (let round = 0; round < rounds; ++round) {
  add('elo-rank', cpuNsPerCall(() => eloUpdate(elo)));
  add('glicko2', cpuNsPerCall(glickoUpdate));
  add('openskill', cpuNsPerCall(bayesUpdate));
  for (const [name, ns] of Object.entries(libraryNsPerCall())) add(name, ns);
}

const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = sorted.length >> 1;
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
};
const rows = [
  ['Elo', 'BM_Elo', 'BM_Floor/Elo', 'elo-rank'],
  ['Elo (floor as written)', 'BM_Elo', 'BM_Floor/EloAsWritten', 'elo-rank'],
  ['Glicko-2', 'BM_Glicko2', 'BM_Floor/Glicko2', 'glicko2'],
  ['Bayesian', 'BM_Bayesian', 'BM_Floor/Bayesian', 'openskill'],
];
console.log(`medians of ${rounds} alternating rounds, CPU ns per 2 x 5 update`);
console.log('| Update | Library ns | Floor ns | Floor / library | npm package | Package ns | Package / library |');
console.log('|---|---|---|---|---|---|---|');
for (const [label, lib, floor, pkg] of rows) {
  const l = median(samples[lib]);
  const f = median(samples[floor]);
  const p = median(samples[pkg]);
  console.log(`| ${label} | ${l.toFixed(1)} | ${f.toFixed(1)} | ${(f / l).toFixed(2)} | ${pkg} | ` +
    `${p.toFixed(0)} | ${(p / l).toFixed(1)} |`);
}
