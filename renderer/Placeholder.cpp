int lumora_placeholder = 0;
