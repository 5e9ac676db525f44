-- Prime count below 50,000, dividing every candidate by every smaller number.
local function is_prime(n)
  if n < 2 then return false end
  for d = 2, n - 1 do
    if n % d == 0 then return false end
  end
  return true
end
local count = 0
for i = 0, 49999 do
  if is_prime(i) then count = count + 1 end
end
print(count)
