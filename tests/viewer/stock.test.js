// The viewer in the two browsers a user has, Chromium and Firefox, with their stock settings: the page
// may not read the feed beside it, so the user chooses the feed (or drops it) and the show runs from
// it. Firefox also runs the direct path with local file access allowed in its test profile.
'use strict';

const {describe, it, before, after} = require('node:test');
const assert = require('node:assert/strict');
const path = require('path');
const fs = require('fs');
const http = require('http');
const {LAUNCH, VIEW, recordPictureAddresses, seen, pictureIs, pictureAt} = require('./browsers');
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

// Drops a file named feed.rss holding `feed` on the page, as the user drags one there: a text, or
// [piece, times] pairs that make one here (megabytes need not cross from the driver). Runs in the
// page; resolves with what the viewer answers (the chooser's problem text, or the title once a show
// or its message runs) and the milliseconds it took (the page never stalled longer), or an empty
// answer after 5 s.
async function dropFeed(feed) {
    const text = typeof feed === 'string' ? feed : feed.map(([piece, times]) => piece.repeat(times)).join('');
    const transfer = new DataTransfer();
    transfer.items.add(new File([text], 'feed.rss', {type: 'application/rss+xml'}));
    const target = document.querySelector('#pll-show .pll-message');
    const waiting = document.title;
    const started = performance.now();
    for (const type of ['dragenter', 'dragover', 'drop']) {
        target.dispatchEvent(new DragEvent(type, {bubbles: true, cancelable: true, dataTransfer: transfer}));
    }
    const answer = () => {
        const problem = document.querySelector('#pll-show .pll-choose .pll-problem');
        return problem ? problem.textContent : document.title !== waiting ? document.title : '';
    };
    while (!answer() && performance.now() - started < 5000) {
        await new Promise((done) => setTimeout(done, 10));
    }
    return {answer: answer(), ms: performance.now() - started};
}

const MEDIA_FEED = (rootAttributes, items) => '<?xml version="1.0" encoding="UTF-8"?>\r\n<rss version="2.0" ' +
    `xmlns:media="http://search.yahoo.com/mrss/"${rootAttributes}>\r\n<channel>\r\n${items}</channel>\r\n</rss>\r\n`;
const ITEM = (url) => `<item>\r\n<media:content  url="${url}" type="image" />\r\n</item>\r\n`;
const NOT_A_LIST = /^feed\.rss is not a picture list\./;

// Feeds made to slow a scan that tries again from earlier places, to cost time growing with the square
// of their size, or to overflow the stack (each took seconds, or never answered): each is answered
// within 1 s. `picture` is the address of a picture that exists.
const CRAFTED_FEEDS = [
    ['a document type of 28 quoted bracket pairs', () => '<!DOCTYPE' + '"[]"'.repeat(28), NOT_A_LIST],
    ['40,000 unclosed tags', () => '<rss>' + '<a'.repeat(40000), NOT_A_LIST],
    ['80,000 unclosed comments', () => '<!--'.repeat(80000), NOT_A_LIST],
    ['80,000 unclosed processing instructions', () => '<?'.repeat(80000), NOT_A_LIST],
    ['a tag of 2 M characters without a value', () => `<rss ${'a'.repeat(2000000)}>`, NOT_A_LIST],
    ['an attribute of 2 M characters', (picture) => MEDIA_FEED(` title="${'a'.repeat(2000000)}"`, ITEM(picture)),
     /^PicLens Lite - 1 \/ 1$/],
    ['an attribute named hasOwnProperty', (picture) => MEDIA_FEED(' hasOwnProperty="1"', ITEM(picture)),
     /^PicLens Lite - 1 \/ 1$/],
    ['20,000 pictures inside 20,000 nested elements',
     (picture) => MEDIA_FEED('', '<a>'.repeat(20000) + ITEM(picture).repeat(20000) + '</a>'.repeat(20000)),
     /^PicLens Lite - 1 \/ 20000$/],
    ['100,000 namespace declarations on one element',
     (picture) => MEDIA_FEED(Array.from({length: 100000}, (_, i) => ` xmlns:n${i}="u${i}"`).join(''), ITEM(picture)),
     /^PicLens Lite - 1 \/ 1$/],
    ['20,000 addresses that are not local, then a picture',
     (picture) => MEDIA_FEED('', ITEM('about:blank').repeat(20000) + ITEM(picture)), /^PicLens Lite - 20001 \/ 20001$/],
    ['20,000 addresses that are not local only', () => MEDIA_FEED('', ITEM('about:blank').repeat(20000)),
     /^PicLens Lite - pictures not found$/],
    ['an address of 40 M characters, then a picture', (picture) => {
        const [head, tail] = MEDIA_FEED('', ITEM('@') + ITEM(picture)).split('@');
        return [[head + 'file:///C:/', 1], ['a', 40000000], ['.jpg' + tail, 1]];
    }, /^PicLens Lite - 2 \/ 2$/],
];

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
               // Switching off the file-origin isolation would open every local file to every local page.
               assert.doesNotMatch(message, /strict_origin_policy|allow-file-access-from-files|about:config/);

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
            await page.evaluate(dropFeed, fs.readFileSync(feedPath(walk), 'latin1'));
            await page.waitFor(pictureIs, pictureAt(walk, 1));
            assert.equal((await page.evaluate(seen)).title, 'PicLens Lite - 1 / 3');
            await page.close();
        });

        // The regular-expression engines of the two browsers differ in where they give up.
        it('answers each crafted feed dropped on the page within 1 s', async (t) => {
            let page = null;  // kept while it still offers the chooser
            for (const [what, text, expected] of CRAFTED_FEEDS) {
                page = page || await browser.open(walk.pageUrl);
                await page.waitFor(titleIs, REFUSED);
                const {answer, ms} = await page.evaluate(dropFeed, text(walk.urls[0]));
                t.diagnostic(`${what}: answered after ${Math.round(ms)} ms`);
                assert.match(answer, expected, what);
                assert.ok(ms < 1000, `${what}: answered after ${Math.round(ms)} ms`);
                if (expected !== NOT_A_LIST) {
                    await page.close();
                    page = null;
                }
            }
            await page?.close();
        });

        // Also a share reached through dot segments and backslashes: a picture element only gets an
        // address as the browser reads it, without a host or //share (Firefox on Linux reads
        // file://host/ as a local path), the local picture's too, named here in a form of its own.
        it('fetches no picture that a dropped feed names outside this computer', async () => {
            const requests = [];
            const server = http.createServer((request, response) => {
                requests.push(request.url);
                response.end();
            });
            await new Promise((done) => server.listen(0, '127.0.0.1', done));
            const host = `127.0.0.1:${server.address().port}`;
            const elsewhere = [`http://${host}/a.png`, `https://${host}/b.png`, `//${host}/c.png`,
                `file://${host}/d.png`, ` \t/\n/${host}/e.png`, `file:///.\\\\${host}\\share\\f.png`,
                `file:///a/..//${host}/share/g.png`, `file:///.//${host}/h.png`, `file:///%2e//${host}/i.png`,
                `/.//${host}/j.png`, `../../../../../../..//${host}/k.png`];
            const local = walk.urls[0].replace('/Bilder/', '/Bilder/x/.\\../').replace(/%/g, '&#37;');
            const position = `${elsewhere.length + 1} / ${elsewhere.length + 1}`;
            try {
                const page = await browser.open(walk.pageUrl, recordPictureAddresses);
                await page.waitFor(titleIs, REFUSED);
                const feed = MEDIA_FEED('', [...elsewhere, local].map(ITEM).join(''));
                await page.evaluate(dropFeed, feed);
                await page.waitFor(pictureIs, {src: walk.urls[0], position});
                await new Promise((done) => setTimeout(done, 500));
                assert.match((await page.evaluate(seen)).note,
                             new RegExp(`Skipped ${elsewhere.length} pictures .*i\\.png, j\\.png, k\\.png$`));
                assert.deepEqual(requests, []);
                const sources = await page.evaluate(() => window.__sources.filter(Boolean));
                assert.deepEqual(await page.evaluate((all) => all.filter((source) => new URL(source).href !== source ||
                    new URL(source).host || /^\/[\/\\]/.test(new URL(source).pathname)), sources), []);
                assert.equal(sources.pop(), walk.urls[0]);
                await page.close();
            } finally {
                server.close();
            }
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
