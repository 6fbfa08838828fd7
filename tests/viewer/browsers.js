// The two browsers a user has, headless, each behind the same small page interface: Debian's Chromium
// through playwright-core and Debian's firefox-esr through puppeteer-core (WebDriver BiDi). With
// `fileAccess` false each keeps its stock refusal of a local page reading another local file.
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');

const VIEW = {width: 800, height: 600};
const WAIT_MS = 10000;
const CHROMIUM_FLAGS = [
    '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
];

// Records every change of the document title with its time, and the time of the load event.
function recordTitles() {
    window.__titles = [];
    const record = () => {
        const last = window.__titles[window.__titles.length - 1];
        if (document.title && (!last || last.title !== document.title)) {
            window.__titles.push({at: performance.now(), title: document.title});
        }
    };
    new MutationObserver(record).observe(document, {subtree: true, childList: true, characterData: true});
    window.addEventListener('load', () => {
        window.__loadedAt = performance.now();
        record();
    });
}

// Records each picture element the viewer gives an address (window.__images), and the address. Runs in the page.
function recordPictureAddresses() {
    const images = window.__images = [];
    const sources = window.__sources = [];
    const src = Object.getOwnPropertyDescriptor(HTMLImageElement.prototype, 'src');
    Object.defineProperty(HTMLImageElement.prototype, 'src', {
        configurable: true,
        get: src.get,
        set(value) {
            images.push(this);
            sources.push(String(value));
            src.set.call(this, value);
        },
    });
}

// What the user sees: title, position, file name, the picture shown, the note, a message. Runs in the page.
function seen() {
    const show = document.getElementById('pll-show');
    const text = (selector) => {
        const node = show && show.querySelector(selector);
        return node && node.offsetParent !== null ? node.textContent : '';
    };
    const picture = show && show.querySelector('.pll-picture');
    return {
        title: document.title,
        open: Boolean(show),
        position: text('.pll-position'),
        name: text('.pll-name'),
        src: picture ? picture.src : '',
        drawn: Boolean(picture && picture.complete && picture.naturalWidth > 0),
        note: text('.pll-note'),
        message: text('.pll-message'),
    };
}

// True once the picture with address `src` is shown, loaded and drawn, at `position`. Runs in the page.
function pictureIs({src, position}) {
    const show = document.getElementById('pll-show');
    const picture = show && show.querySelector('.pll-picture');
    return Boolean(picture && picture.src === src && picture.complete && picture.naturalWidth > 0 &&
        show.querySelector('.pll-position').textContent === position);
}

// The argument of pictureIs for picture `n` (1-based) of a gallery.
function pictureAt(gallery, n) {
    return {src: gallery.urls[n - 1], position: `${n} / ${gallery.urls.length}`};
}

// The first process whose command line (arguments joined by blanks) satisfies `test`, or 0.
function findProcess(test) {
    for (const entry of fs.readdirSync('/proc')) {
        try {
            if (/^\d+$/.test(entry) && test(fs.readFileSync(`/proc/${entry}/cmdline`, 'latin1').split('\0').join(' '))) {
                return Number(entry);
            }
        } catch (e) {
            // The process ended meanwhile.
        }
    }
    return 0;
}

async function launchChromium(fileAccess) {
    const {chromium} = require('playwright-core');
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'viewer-profile-'));
    const context = await chromium.launchPersistentContext(profile, {
        executablePath: '/usr/bin/chromium',
        headless: true,
        args: CHROMIUM_FLAGS.concat(fileAccess ? ['--allow-file-access-from-files'] : []),
        viewport: VIEW,
    });
    const wrap = (page) => ({
        raw: page,
        evaluate: (fn, arg) => page.evaluate(fn, arg),
        waitFor: (fn, arg) => page.waitForFunction(fn, arg, {polling: 50, timeout: WAIT_MS}),
        press: (key) => page.keyboard.press(key),
        click: (selector) => page.click(selector),
        screenshot: () => page.screenshot(),
        async choose(selector, file) {
            const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click(selector)]);
            await chooser.setFiles(file);
        },
        close: () => page.close(),
    });
    return {
        name: 'chromium',
        context,
        // The browser's main process: the one started with this profile.
        pid: () => findProcess((cmdline) => cmdline.includes(`--user-data-dir=${profile}`)),
        async open(url, init) {
            const page = await context.newPage();
            await page.addInitScript(recordTitles);
            if (init) {
                await page.addInitScript(init);
            }
            await page.goto(url);
            return wrap(page);
        },
        async close() {
            await context.close();
            fs.rmSync(profile, {recursive: true, force: true});
        },
    };
}

// puppeteer-core's own Firefox preferences let local pages read local files; the stock value is put back.
async function launchFirefox(fileAccess) {
    const puppeteer = require('puppeteer-core');
    const browser = await puppeteer.launch({
        browser: 'firefox',
        executablePath: '/usr/bin/firefox-esr',
        headless: true,
        extraPrefsFirefox: {'security.fileuri.strict_origin_policy': !fileAccess},
    });
    const wrap = (page) => ({
        raw: page,
        evaluate: (fn, arg) => page.evaluate(fn, arg),
        waitFor: (fn, arg) => page.waitForFunction(fn, {polling: 50, timeout: WAIT_MS}, arg),
        press: (key) => page.keyboard.press(key),
        click: (selector) => page.click(selector),
        screenshot: async () => Buffer.from(await page.screenshot()),
        async choose(selector, file) {
            const [chooser] = await Promise.all([page.waitForFileChooser({timeout: WAIT_MS}), page.click(selector)]);
            await chooser.accept([file]);
        },
        close: () => page.close(),
    });
    return {
        name: 'firefox',
        browser,
        pid: () => browser.process().pid,
        async open(url, init) {
            const page = await browser.newPage();
            await page.setViewport(VIEW);
            await page.evaluateOnNewDocument(recordTitles);
            if (init) {
                await page.evaluateOnNewDocument(init);
            }
            await page.goto(url);
            return wrap(page);
        },
        close: () => browser.close(),
    };
}

const LAUNCH = {chromium: launchChromium, firefox: launchFirefox};

module.exports = {
    VIEW, LAUNCH, recordTitles, recordPictureAddresses, seen, pictureIs, pictureAt, launchChromium, launchFirefox,
};
