// Figures of the viewer on a large gallery, in Chromium and Firefox (a benchmark, run on demand):
//   scripts/viewer_benchmark.sh [items [shown]]      (defaults: 100000 items, 600 pictures shown)
// The feed is written as the gallery builder writes it; the first pictures are real photo-sized JPEGs.
// Per browser, from the start of navigation: when the title first changes, when the feed has been
// read (the title shows the position), when the first picture is drawn, and the resident memory of
// the tab's process after the first picture and after every hundredth. Then, with the browser's
// stock settings, how long the show takes from the chosen feed to its first picture.
'use strict';

const fs = require('fs');
const path = require('path');
const {LAUNCH, pictureIs, pictureAt} = require('./browsers');
const {drawScenes} = require('./scenes');
const {writeGallery, removeGallery} = require('./gallery');

const ITEMS = Number(process.argv[2] || 100000);
const SHOWN = Number(process.argv[3] || 600);
const WIDTH = 1600;
const HEIGHT = 1200;

// Timestamps the first frame in which a picture is on the page, and the moment a file is chosen.
function recordFirstPicture() {
    new MutationObserver((records, observer) => {
        if (document.querySelector('#pll-show .pll-picture')) {
            observer.disconnect();
            requestAnimationFrame(() => {
                window.__firstDrawnAt = performance.now();
            });
        }
    }).observe(document, {subtree: true, childList: true});
    document.addEventListener('change', () => {
        window.__chosenAt = performance.now();
    }, true);
}

// Parent of each process, from /proc.
function parents() {
    const parent = new Map();
    for (const entry of fs.readdirSync('/proc')) {
        try {
            if (/^\d+$/.test(entry)) {
                const stat = fs.readFileSync(`/proc/${entry}/stat`, 'latin1');
                parent.set(Number(entry), Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]));
            }
        } catch (e) {
            // The process ended meanwhile.
        }
    }
    return parent;
}

// Resident memory in MB of the largest page process below the browser's main process: Chromium's
// renderer, Firefox's tab content process.
function tabMemoryMb(rootPid) {
    const parent = parents();
    let largest = 0;
    for (const pid of parent.keys()) {
        let up = parent.get(pid);
        while (up && up !== rootPid) {
            up = parent.get(up);
        }
        try {
            const cmdline = fs.readFileSync(`/proc/${pid}/cmdline`, 'latin1').split('\0').join(' ').trim();
            const isPage = (/ --type=renderer /.test(cmdline) && !/ --top-chrome-webui /.test(cmdline)) ||
                (/ -contentproc /.test(cmdline) && / tab$/.test(cmdline));
            if (up === rootPid && isPage) {
                const rss = /VmRSS:\s+(\d+)/.exec(fs.readFileSync(`/proc/${pid}/status`, 'latin1'));
                largest = Math.max(largest, rss ? Number(rss[1]) / 1024 : 0);
            }
        } catch (e) {
            // The process ended meanwhile.
        }
    }
    return Math.round(largest);
}

const ms = (value) => `${Math.round(value)} ms`;

async function direct(name, gallery) {
    const browser = await LAUNCH[name](true);
    try {
        const page = await browser.open(gallery.pageUrl, recordFirstPicture);
        await page.waitFor(pictureIs, pictureAt(gallery, 1));
        await page.waitFor(() => window.__firstDrawnAt !== undefined);
        const times = await page.evaluate(() => ({
            load: window.__loadedAt,
            titles: window.__titles,
            drawn: window.__firstDrawnAt,
        }));
        const firstChange = times.titles[1];
        const read = times.titles.find((record) => / 1 \/ /.test(record.title));
        console.log(`${name}, feed readable:`);
        console.log(`  load event ${ms(times.load)}; title "${firstChange.title}" at ${ms(firstChange.at)}` +
                    `; feed read ("${read.title}") at ${ms(read.at)}; first picture drawn at ${ms(times.drawn)}`);
        const memory = [`1: ${tabMemoryMb(browser.pid())}`];
        const started = Date.now();
        for (let n = 2; n <= Math.min(SHOWN, gallery.shown); n++) {
            await page.press('ArrowRight');
            await page.waitFor(pictureIs, pictureAt(gallery, n));
            if (n % 100 === 0 || n === Math.min(SHOWN, gallery.shown)) {
                memory.push(`${n}: ${tabMemoryMb(browser.pid())}`);
            }
        }
        console.log(`  tab memory in MB after picture ${memory.join(', ')}; ` +
                    `${ms((Date.now() - started) / (SHOWN - 1))} per picture`);
        await page.close();
    } finally {
        await browser.close();
    }
}

async function chosen(name, gallery) {
    const browser = await LAUNCH[name](false);
    try {
        const page = await browser.open(gallery.pageUrl, recordFirstPicture);
        await page.waitFor((title) => document.title === title, 'PicLens Lite - picture list not readable');
        await page.choose('#pll-show .pll-choose button', path.join(gallery.base, 'WINDOWS', 'temp', 'feed.rss'));
        await page.waitFor(pictureIs, pictureAt(gallery, 1));
        await page.waitFor(() => window.__firstDrawnAt !== undefined);
        const times = await page.evaluate(() => ({
            titles: window.__titles,
            chosen: window.__chosenAt,
            drawn: window.__firstDrawnAt,
        }));
        console.log(`${name}, stock settings: title "${times.titles[1].title}" at ${ms(times.titles[1].at)}; ` +
                    `first picture drawn ${ms(times.drawn - times.chosen)} after the feed was chosen`);
        await page.close();
    } finally {
        await browser.close();
    }
}

async function main() {
    const painter = await LAUNCH.chromium(true);
    const scenes = await drawScenes(painter.context, 8, WIDTH, HEIGHT);
    await painter.close();
    const shown = Math.min(SHOWN, ITEMS);
    const files = Array.from({length: ITEMS}, (_, i) => ({
        name: `Urlaub Sommer 2019/Tag ${1 + (i % 30)} - am Strand/IMG_${String(i).padStart(6, '0')}.JPG`,
        bytes: i <= shown ? scenes[i % scenes.length] : null,
    }));
    const gallery = Object.assign(writeGallery(files), {shown});
    const feedBytes = fs.statSync(path.join(gallery.base, 'WINDOWS', 'temp', 'feed.rss')).size;
    console.log(`gallery: ${ITEMS} items, feed ${(feedBytes / 1e6).toFixed(1)} MB, ` +
                `${shown} pictures of ${WIDTH}x${HEIGHT} shown`);
    try {
        for (const name of ['chromium', 'firefox']) {
            await direct(name, gallery);
            await chosen(name, gallery);
        }
    } finally {
        removeGallery(gallery);
    }
}

main().catch((error) => {
    console.error(error);
    process.exit(1);
});
