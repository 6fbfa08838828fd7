// Photo-like JPEG pictures for the benchmark and the README screenshot: simple landscapes (sky, sun,
// hills, a lake) drawn on a canvas by the browser and encoded by its own JPEG encoder.
'use strict';

// Draws scene `k` on a width x height canvas and returns the JPEG as base64. Runs in the page.
function drawScene({k, width, height}) {
    const canvas = document.createElement('canvas');
    canvas.width = width;
    canvas.height = height;
    const g = canvas.getContext('2d');
    const hue = (k * 47) % 360;
    const sky = g.createLinearGradient(0, 0, 0, height * 0.7);
    sky.addColorStop(0, `hsl(${hue + 200}, 60%, ${25 + (k % 3) * 10}%)`);
    sky.addColorStop(1, `hsl(${hue + 20}, 80%, 70%)`);
    g.fillStyle = sky;
    g.fillRect(0, 0, width, height);
    g.fillStyle = `hsl(${hue + 40}, 95%, 75%)`;
    g.beginPath();
    g.arc(width * (0.2 + 0.6 * ((k * 0.37) % 1)), height * 0.3, height * 0.08, 0, 2 * Math.PI);
    g.fill();
    for (let layer = 0; layer < 3; layer++) {
        g.fillStyle = `hsl(${hue + 90 + layer * 15}, ${35 + layer * 10}%, ${40 - layer * 10}%)`;
        g.beginPath();
        g.moveTo(0, height);
        for (let x = 0; x <= width; x += width / 40) {
            const y = height * (0.45 + layer * 0.12) +
                Math.sin(x / width * (3 + layer + k % 4) + k + layer) * height * 0.06;
            g.lineTo(x, y);
        }
        g.lineTo(width, height);
        g.fill();
    }
    const lake = g.createLinearGradient(0, height * 0.8, 0, height);
    lake.addColorStop(0, `hsla(${hue + 200}, 60%, 55%, 0.9)`);
    lake.addColorStop(1, `hsla(${hue + 220}, 60%, 25%, 0.9)`);
    g.fillStyle = lake;
    g.fillRect(0, height * 0.85, width, height * 0.15);
    return canvas.toDataURL('image/jpeg', 0.85).split(',')[1];
}

// `count` different scenes as JPEG files (Buffers), drawn in a page of a playwright Chromium context.
async function drawScenes(context, count, width, height) {
    const page = await context.newPage();
    const scenes = [];
    for (let k = 0; k < count; k++) {
        scenes.push(Buffer.from(await page.evaluate(drawScene, {k, width, height}), 'base64'));
    }
    await page.close();
    return scenes;
}

module.exports = {drawScenes};
