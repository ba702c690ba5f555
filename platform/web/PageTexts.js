// The page's own words (its button, its notes and its messages), in the
// languages of the program's texts: English, simplified and traditional
// Chinese. The program says which set the person reads; `{name}` is
// filled in where the text is shown. "…" is U+2026, and the Chinese texts
// use full-width punctuation.
'use strict';
window.ScrawletTexts = {
  en: {
    enterAr: 'Enter AR',
    exitAr: 'Exit AR',
    useCamera: 'Use Camera',
    stopCamera: 'Stop Camera',
    sharePicture: 'Share Picture',
    noWebXr: 'This browser offers no WebXR',
    noArHere: 'This device cannot show augmented reality in the browser',
    xrAnswered: 'WebXR answered: {detail}',
    keysNote: 'Drag to draw. W A S D walk, Q E go down and up, arrows or a right-drag turn, ' +
      'R goes back to the start, Space shakes.',
    roomNote: '{reason}: drawing in the simulated room. {keys}',
    offeredNote: 'To draw in your own room, use “{button}”. {keys}',
    phoneRoomNote: 'Drag a finger to draw in this room. Shake the phone to clear the drawing. ' +
      'This browser cannot show your own room.',
    phoneOfferedNote: 'Drag a finger to draw. Tap “{button}” to draw in your own room.',
    cameraNote: 'Turn the phone to look around: the drawing stays where you put it. ' +
      'Walking does not move it.',
    cameraNoSensor: 'This device cannot turn the view: it has no orientation sensor, so the view ' +
      'stays fixed. Draw in front of you; walking does not move the drawing either.',
    cameraRefused: 'The camera was not allowed ({detail}), so you are drawing in the simulated room. ' +
      'To draw in your own room, allow the camera for this site in the browser’s settings ' +
      '(on an iPhone: Settings › Apps › Safari › Camera), then tap “{button}” again.',
    orientationRefused: 'Motion and orientation access was not allowed, so you are drawing in the ' +
      'simulated room. On an iPhone, close this tab, open the page again, tap “{button}” and choose ' +
      'Allow.',
    orientationDismissed: 'Motion and orientation access was not answered. Tap “{button}” again and ' +
      'choose Allow.',
    cameraFailed: 'The camera could not start: {detail}. The drawing is still here, in the simulated room.',
    arFailed: 'Augmented reality could not start: {detail}. The drawing is still here, in the simulated room.',
    couldNotStart: 'Scrawlet could not start: {detail}',
    pageUndescribed: 'Scrawlet could not start: the page did not describe itself ({detail})',
    noWebGl: 'This browser cannot show Scrawlet: it offers no WebGL 2.',
    webGlCannotDraw: 'This browser\'s WebGL 2 cannot run Scrawlet\'s drawing: {detail}',
    scriptMissing: 'Scrawlet could not be loaded: scrawlet.js is missing.',
    noWebAssembly: 'This browser cannot run Scrawlet: it has no WebAssembly.',
    canvasLabel: 'The room and your drawing',
  },
  'zh-Hans': {
    enterAr: '进入 AR',
    exitAr: '退出 AR',
    useCamera: '使用相机',
    stopCamera: '关闭相机',
    sharePicture: '分享图片',
    noWebXr: '此浏览器不支持 WebXR',
    noArHere: '此设备无法在浏览器中显示增强现实',
    xrAnswered: 'WebXR 回应：{detail}',
    keysNote: '拖动即可绘画。W A S D 行走，Q E 下降和上升，方向键或右键拖动转向，R 回到起点，空格键摇晃。',
    roomNote: '{reason}：在模拟房间中绘画。{keys}',
    offeredNote: '要在你自己的房间里绘画，请使用“{button}”。{keys}',
    phoneRoomNote: '用手指拖动即可在这个房间里绘画。摇晃手机可清除绘画。此浏览器无法显示你自己的房间。',
    phoneOfferedNote: '用手指拖动即可绘画。轻点“{button}”即可在你自己的房间里绘画。',
    cameraNote: '转动手机即可环顾四周：绘画会留在你画下的地方。走动不会移动它。',
    cameraNoSensor: '此设备无法转动视角：它没有方向传感器，所以视角保持不动。请在你面前绘画；走动也不会移动绘画。',
    cameraRefused: '相机未获允许（{detail}），所以你正在模拟房间中绘画。要在你自己的房间里绘画，' +
      '请在浏览器设置中允许此网站使用相机（iPhone：设置 › App › Safari 浏览器 › 相机），然后再次轻点“{button}”。',
    orientationRefused: '运动与方向访问未获允许，所以你正在模拟房间中绘画。在 iPhone 上，请关闭此标签页，' +
      '重新打开网页，轻点“{button}”并选择“允许”。',
    orientationDismissed: '运动与方向访问未获回应。请再次轻点“{button}”并选择“允许”。',
    cameraFailed: '相机无法启动：{detail}。绘画仍在这里，在模拟房间中。',
    arFailed: '增强现实无法启动：{detail}。绘画仍在这里，在模拟房间中。',
    couldNotStart: 'Scrawlet 无法启动：{detail}',
    pageUndescribed: 'Scrawlet 无法启动：网页未能描述自己（{detail}）',
    noWebGl: '此浏览器无法显示 Scrawlet：它不支持 WebGL 2。',
    webGlCannotDraw: '此浏览器的 WebGL 2 无法运行 Scrawlet 的绘图：{detail}',
    scriptMissing: '无法载入 Scrawlet：缺少 scrawlet.js。',
    noWebAssembly: '此浏览器无法运行 Scrawlet：它不支持 WebAssembly。',
    canvasLabel: '房间和你的绘画',
  },
  'zh-Hant': {
    enterAr: '進入 AR',
    exitAr: '退出 AR',
    useCamera: '使用相機',
    stopCamera: '關閉相機',
    sharePicture: '分享圖片',
    noWebXr: '此瀏覽器不支援 WebXR',
    noArHere: '此裝置無法在瀏覽器中顯示擴增實境',
    xrAnswered: 'WebXR 回應：{detail}',
    keysNote: '拖曳即可繪畫。W A S D 行走，Q E 下降和上升，方向鍵或右鍵拖曳轉向，R 回到起點，空白鍵搖晃。',
    roomNote: '{reason}：在模擬房間中繪畫。{keys}',
    offeredNote: '要在你自己的房間裡繪畫，請使用「{button}」。{keys}',
    phoneRoomNote: '用手指拖曳即可在這個房間裡繪畫。搖晃手機可清除繪畫。此瀏覽器無法顯示你自己的房間。',
    phoneOfferedNote: '用手指拖曳即可繪畫。輕點「{button}」即可在你自己的房間裡繪畫。',
    cameraNote: '轉動手機即可環顧四周：繪畫會留在你畫下的地方。走動不會移動它。',
    cameraNoSensor: '此裝置無法轉動視角：它沒有方向感測器，所以視角保持不動。請在你面前繪畫；走動也不會移動繪畫。',
    cameraRefused: '相機未獲允許（{detail}），所以你正在模擬房間中繪畫。要在你自己的房間裡繪畫，' +
      '請在瀏覽器設定中允許此網站使用相機（iPhone：設定 › App › Safari › 相機），然後再次輕點「{button}」。',
    orientationRefused: '動作與方向取用未獲允許，所以你正在模擬房間中繪畫。在 iPhone 上，請關閉此分頁，' +
      '重新開啟網頁，輕點「{button}」並選擇「允許」。',
    orientationDismissed: '動作與方向取用未獲回應。請再次輕點「{button}」並選擇「允許」。',
    cameraFailed: '相機無法啟動：{detail}。繪畫仍在這裡，在模擬房間中。',
    arFailed: '擴增實境無法啟動：{detail}。繪畫仍在這裡，在模擬房間中。',
    couldNotStart: 'Scrawlet 無法啟動：{detail}',
    pageUndescribed: 'Scrawlet 無法啟動：網頁未能描述自己（{detail}）',
    noWebGl: '此瀏覽器無法顯示 Scrawlet：它不支援 WebGL 2。',
    webGlCannotDraw: '此瀏覽器的 WebGL 2 無法執行 Scrawlet 的繪圖：{detail}',
    scriptMissing: '無法載入 Scrawlet：缺少 scrawlet.js。',
    noWebAssembly: '此瀏覽器無法執行 Scrawlet：它不支援 WebAssembly。',
    canvasLabel: '房間和你的繪畫',
  },
};
