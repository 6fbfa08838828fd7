// The viewer in the two browsers a user has, Chromium and Firefox, with their stock settings: the page
// may not read the feed beside it, so the user chooses the feed (or drops it) and the show runs from
// it. Firefox also runs the direct path with local file access allowed in its test profile.
'use strict';

const {describe, it, before, after} = require('node:test');
const assert = require('node:assert/strict');
const path = require('path');
const fs = require('fs');
const {LAUNCH, VIEW, seen, pictureIs, pictureAt} = require('./browsers');
const pictures = require('./pictures');
const {writeGallery, removeGallery} = require('./gallery');

const HOLD_MS = 1500;
const REFUSED = 'PicLens Lite - picture list not readable';

// Three pictures of two kinds and three shapes, in folders whose names need coding.
const WALK = [
    {name: 'Mein Urlaub/Stra\xdfe & Meer.png', picture: pictures.blocks(120, 120), encode: pictures.encodePng},
    {name: "100% sicher #1/Gr\xfc\xdfe+K\xfcsse 'x' ~y.gif", picture: pictures.blocks(60, 120), encode: pictures.encodeGif},
    {name: '\xc4\xd6\xdc/Preis 5 \u20ac.PNG', picture: pictures.blocks(160, 80), encode: pictures.encodePng},
];

function writeWalk() {
    return writeGallery(WALK.map((entry) => ({name: entry.name, bytes: entry.encode(entry.picture)})));
}

function feedPath(gallery) {
    return path.join(gallery.base, 'WINDOWS', 'temp', 'feed.rss');
}

// A gallery of 100,000 pictures of which only the first and the last exist, written once for both browsers.
let big = null;

function bigGallery() {
    const picture = pictures.encodePng(pictures.blocks(16, 16));
    big = big || writeGallery(Array.from({length: 100000}, (_, i) => ({
        name: `Sommer 2019/Tag ${i % 30}/IMG_${String(i).padStart(6, '0')}.JPG`,
        bytes: i === 0 || i === 99999 ? picture : null,
    })));
    return big;
}

after(() => {
    if (big) {
        removeGallery(big);
    }
});

const titleIs = (title) => document.title === title;

// Walks through the pictures with the arrow key: each one shown in order, fitted and in its colours.
async function walkThrough(page, gallery) {
    for (let n = 1; n <= WALK.length; n++) {
        if (n > 1) {
            await page.press('ArrowRight');
        }
        await page.waitFor(pictureIs, pictureAt(gallery, n));
        await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
        const screenshot = pictures.decodePng(await page.screenshot());
        assert.equal(screenshot.width, VIEW.width);
        assert.deepEqual(pictures.checkFitted(screenshot, WALK[n - 1].picture, 4), [], WALK[n - 1].name);
    }
}

// The titles from load on, and how long after load the first change came.
async function titleHistory(page) {
    const {titles, loadedAt} = await page.evaluate(() => ({titles: window.__titles, loadedAt: window.__loadedAt}));
    return {names: titles.map((record) => record.title), firstChangeAfter: titles[1].at - loadedAt};
}

for (const name of ['chromium', 'firefox']) {
    describe(`${name} with stock settings`, {timeout: 90000}, () => {
        let browser;
        let walk;

        before(async () => {
            browser = await LAUNCH[name](false);
            walk = writeWalk();
        });

        after(async () => {
            if (walk) {
                removeGallery(walk);
            }
            await browser?.close();
        });

        it('offers to choose the refused feed, shows its pictures in order, and keeps the title protocol',
           async () => {
               const page = await browser.open(walk.pageUrl);
               await page.waitFor(titleIs, REFUSED);
               const message = (await page.evaluate(seen)).message;
               assert.match(message, /Choose the picture list/);
               assert.ok(message.includes(`feed.rss in the folder ${path.dirname(feedPath(walk))}`), message);
               assert.match(message, /security\.fileuri\.strict_origin_policy/);
               assert.match(message, /--allow-file-access-from-files/);

               // A file that is no feed leaves the chooser waiting, under the same title.
               await page.choose('#pll-show .pll-choose button', path.join(path.dirname(feedPath(walk)), 'gallery.htm'));
               await page.waitFor(() => /gallery\.htm is not a picture list/.test(
                   document.querySelector('#pll-show .pll-choose').textContent));
               assert.equal((await page.evaluate(seen)).title, REFUSED);

               await page.choose('#pll-show .pll-choose button', feedPath(walk));
               await walkThrough(page, walk);
               await page.press('Escape');
               await page.waitFor(titleIs, 'view gallery');

               const history = await titleHistory(page);
               assert.deepEqual(history.names, ['view gallery', REFUSED, 'PicLens Lite - 1 / 3', 'PicLens Lite - 2 / 3',
                   'PicLens Lite - 3 / 3', 'view gallery']);
               assert.ok(history.firstChangeAfter >= HOLD_MS - 1, `title changed ${history.firstChangeAfter} ms after load`);
               await page.close();
           });

        it('names the feed\'s folder the Windows way when the feed lies on a drive', async () => {
            const page = path.join(path.dirname(feedPath(walk)), 'drive.htm');
            const text = fs.readFileSync(path.join(path.dirname(page), 'gallery.htm'), 'latin1')
                .replace('href="feed.rss"', 'href="file:///C:/WINDOWS/Temp%20Dateien/feed.rss"');
            fs.writeFileSync(page, text, 'latin1');
            const opened = await browser.open(`file://${page}`);
            await opened.waitFor(titleIs, REFUSED);
            assert.match((await opened.evaluate(seen)).message, /feed\.rss in the folder C:\\WINDOWS\\Temp Dateien,/);
            await opened.close();
        });

        it('starts the show from the feed dropped on the page', async () => {
            const page = await browser.open(walk.pageUrl);
            await page.waitFor(titleIs, REFUSED);
            await page.evaluate((text) => {
                const transfer = new DataTransfer();
                transfer.items.add(new File([text], 'feed.rss', {type: 'application/rss+xml'}));
                const target = document.querySelector('#pll-show .pll-message');
                for (const type of ['dragenter', 'dragover', 'drop']) {
                    target.dispatchEvent(new DragEvent(type, {bubbles: true, cancelable: true, dataTransfer: transfer}));
                }
            }, fs.readFileSync(feedPath(walk), 'latin1'));
            await page.waitFor(pictureIs, pictureAt(walk, 1));
            assert.equal((await page.evaluate(seen)).title, 'PicLens Lite - 1 / 3');
            await page.close();
        });

        it('shows a chosen feed of 100,000 pictures from the first to the last', async () => {
            const big = bigGallery();
            const page = await browser.open(big.pageUrl);
            await page.waitFor(titleIs, REFUSED);
            await page.choose('#pll-show .pll-choose button', feedPath(big));
            await page.waitFor(pictureIs, pictureAt(big, 1));
            await page.press('End');
            await page.waitFor(pictureIs, pictureAt(big, 100000));
            await page.close();
        });
    });
}

describe('firefox with local file access allowed in its profile', {timeout: 60000}, () => {
    let browser;
    let walk;

    before(async () => {
        browser = await LAUNCH.firefox(true);
        walk = writeWalk();
    });

    after(async () => {
        if (walk) {
            removeGallery(walk);
        }
        await browser?.close();
    });

    it('reads the feed itself and shows its pictures in order, with the title protocol', async () => {
        const page = await browser.open(walk.pageUrl);
        await walkThrough(page, walk);
        await page.press('Escape');
        await page.waitFor(titleIs, 'view gallery');
        const history = await titleHistory(page);
        assert.deepEqual(history.names, ['view gallery', 'PicLens Lite - 1 / 3', 'PicLens Lite - 2 / 3',
            'PicLens Lite - 3 / 3', 'view gallery']);
        assert.ok(history.firstChangeAfter >= HOLD_MS - 1, `title changed ${history.firstChangeAfter} ms after load`);
        await page.close();
    });
});
